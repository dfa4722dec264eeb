// Second-order low-pass section of the noise generator.
#include "Zelvar_ButterworthFilter.h"

#include <cmath>
#include <numbers>

Zelvar_ButterworthFilter::Zelvar_ButterworthFilter(double samplingRate, double cutoff,
                                                   double qualityFactor)
    : samplingRate(samplingRate), cutoff(cutoff), qualityFactor(qualityFactor) {
    // A section that is never re-tuned still filters at the cutoff it was created with.
    calculateCoefficients();
}

void Zelvar_ButterworthFilter::setCutoffFrequency(double cutoffHz) {
    if (cutoffHz == cutoff)
        return;
    cutoff = cutoffHz;
    calculateCoefficients();
}

void Zelvar_ButterworthFilter::setQualityFactor(double q) {
    if (q == qualityFactor)
        return;
    qualityFactor = q;
    calculateCoefficients();
}

void Zelvar_ButterworthFilter::setParameter(double cutoffHz, double q) {
    if (cutoffHz != cutoff) {
        cutoff = cutoffHz;
        dirty = true;
    }
    if (q != qualityFactor) {
        qualityFactor = q;
        dirty = true;
    }
    if (dirty)
        calculateCoefficients();
}

// Bilinear transform with the cutoff pre-warped by tan(pi fc / fs), so the -3 dB point lands
// exactly on the requested frequency.
void Zelvar_ButterworthFilter::calculateCoefficients() {
    const double k = std::tan(std::numbers::pi * cutoff / samplingRate);
    const double kk = k * k;
    const double d = 1.0 + k / qualityFactor + kk;
    a0 = 1.0;
    a1 = (2.0 * kk - 2.0) / d;
    a2 = (1.0 - k / qualityFactor + kk) / d;
    b0 = kk / d;
    b1 = 2.0 * kk / d;
    b2 = kk / d;
    dirty = false;
}

double Zelvar_ButterworthFilter::nextValue(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}
