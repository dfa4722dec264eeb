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
    // The same designs from the pre-warped cutoff k = tan(pi fc / fs).
    static BiquadCoefficients lowPassWarped(double k, double q);
    static BiquadCoefficients highPassWarped(double k, double q);
    static double prewarp(double cutoffHz, double samplingRate);
};

// The inputs a coefficient set was designed from. Equal bits give equal coefficients, so a filter
// redesigns only when one of them really changed, and its output stays bit-identical.
// The pre-warped cutoff is kept too: while only Q glides, the cutoff keeps its bits and no tan()
// is needed.
struct BiquadDesignKey {
    double cutoffHz = 0.0, q = 0.0, samplingRate = 0.0;
    bool valid = false;
    double prewarped = 0.0;

    bool matches(double c, double qq, double rate) const {
        return valid && sameBits(c, cutoffHz) && sameBits(qq, q) && sameBits(rate, samplingRate);
    }
    bool sameAs(const BiquadDesignKey& o) const {
        return valid == o.valid && sameBits(cutoffHz, o.cutoffHz) && sameBits(q, o.q) &&
               sameBits(samplingRate, o.samplingRate) && sameBits(prewarped, o.prewarped);
    }
    double prewarp(double c, double rate) const {
        if (valid && sameBits(c, cutoffHz) && sameBits(rate, samplingRate))
            return prewarped;
        return BiquadCoefficients::prewarp(c, rate);
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
