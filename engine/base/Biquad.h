// The second-order section the engine's filters are built from: bilinear-transform low-pass and
// high-pass designs with the cutoff pre-warped by tan(pi fc / fs), so the corner lands exactly on
// the requested frequency, and a direct-form-I state that runs them. One coefficient set can
// drive several states (the voice's low-pass runs two identical sections in series).
#pragma once

#include "SameBits.h"

struct BiquadCoefficients {
    double a0 = 1.0, a1 = 0.0, a2 = 0.0, b0 = 0.0, b1 = 0.0, b2 = 0.0;

    static BiquadCoefficients lowPass(double cutoffHz, double q, double samplingRate);
    static BiquadCoefficients highPass(double cutoffHz, double q, double samplingRate);
};

// The inputs a coefficient set was designed from. Equal bits give equal coefficients, so a filter
// redesigns only when one of them really changed, and its output stays bit-identical.
struct BiquadDesignKey {
    double cutoffHz = 0.0, q = 0.0, samplingRate = 0.0;
    bool valid = false;

    bool matches(double c, double qq, double rate) const {
        return valid && sameBits(c, cutoffHz) && sameBits(qq, q) && sameBits(rate, samplingRate);
    }
};

struct BiquadState {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

    double process(const BiquadCoefficients& c, double x) {
        const double y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};
