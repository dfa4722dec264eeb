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
    coefficients = BiquadCoefficients::lowPass(cutoff, qualityFactor, samplingRate);
    dirty = false;
}

double Zelvar_ButterworthFilter::nextValue(double x) {
    const double y = state.process(coefficients, x);
    return y;
}
