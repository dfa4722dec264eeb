#include "Biquad.h"

#include <cmath>
#include <numbers>

namespace {

// The poles are shared by both designs; only the numerator differs.
BiquadCoefficients withPoles(double k, double q, double& d) {
    const double kk = k * k;
    d = 1.0 + k / q + kk;
    BiquadCoefficients c;
    c.a1 = (2.0 * kk - 2.0) / d;
    c.a2 = (1.0 - k / q + kk) / d;
    return c;
}

} // namespace

double BiquadCoefficients::prewarp(double cutoffHz, double samplingRate) {
    return std::tan(std::numbers::pi * cutoffHz / samplingRate);
}

BiquadCoefficients BiquadCoefficients::lowPassWarped(double k, double q) {
    double d = 1.0;
    BiquadCoefficients c = withPoles(k, q, d);
    const double kk = k * k;
    c.b0 = kk / d;
    c.b1 = 2.0 * kk / d;
    c.b2 = kk / d;
    return c;
}

BiquadCoefficients BiquadCoefficients::highPassWarped(double k, double q) {
    double d = 1.0;
    BiquadCoefficients c = withPoles(k, q, d);
    c.b0 = 1.0 / d;
    c.b1 = -2.0 / d;
    c.b2 = 1.0 / d;
    return c;
}

BiquadCoefficients BiquadCoefficients::lowPass(double cutoffHz, double q, double samplingRate) {
    return lowPassWarped(prewarp(cutoffHz, samplingRate), q);
}

BiquadCoefficients BiquadCoefficients::highPass(double cutoffHz, double q, double samplingRate) {
    return highPassWarped(prewarp(cutoffHz, samplingRate), q);
}
