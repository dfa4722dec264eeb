// Second-order resonant high-pass filter of the voice.
#include "Zelvar_IirHighPassFilter.h"

#include <cmath>
#include <numbers>

namespace {
constexpr double glideSeconds = 0.05;
constexpr double cutoffGlideRangeHz = 2000.0;
constexpr double qualityGlideRange = 10.0;
} // namespace

void Zelvar_IirHighPassFilter::startGlide(Glide& glide, double current, double target,
                                          double fullRange) const {
    glide.target = target;
    glide.step = fullRange / (glideSeconds * samplingRate);
    if (current > target)
        glide.step = -glide.step;
    glide.stepCount = std::fabs((target - current) / glide.step);
    glide.stepCounter = 0.0;
}

void Zelvar_IirHighPassFilter::advanceGlide(Glide& glide, double& current) const {
    if (hasLanded(glide))
        current = glide.target;
    else
        current += glide.step;
    glide.stepCounter += 1.0;
}

void Zelvar_IirHighPassFilter::setCutoffFrequency(double cutoffHz) {
    if (firstCutoff) {
        cutoff = cutoffGlide.target = cutoffHz;
        firstCutoff = false;
        return;
    }
    if (cutoffHz == cutoffGlide.target)
        return;
    startGlide(cutoffGlide, cutoff, cutoffHz >= lowestCutoff ? cutoffHz : lowestCutoff,
               cutoffGlideRangeHz);
}

void Zelvar_IirHighPassFilter::setQualityFactor(double q) {
    if (firstQ) {
        qualityFactor = qualityGlide.target = q;
        firstQ = false;
        return;
    }
    if (q == qualityGlide.target)
        return;
    startGlide(qualityGlide, qualityFactor, q, qualityGlideRange);
}

void Zelvar_IirHighPassFilter::calculateCoefficients() {
    coefficients = BiquadCoefficients::highPass(cutoff, qualityFactor, samplingRate);
    design = {cutoff, qualityFactor, samplingRate, true};
}

void Zelvar_IirHighPassFilter::process(double* samples, int n) {
    if (n <= 0)
        return;
    if (!hasLanded(cutoffGlide) || !hasLanded(qualityGlide)) {
        for (int i = 0; i < n; ++i)
            samples[i] = nextValue(samples[i]);
        return;
    }
    // A landed glide sets the value to its target on every sample and counts the sample; the
    // counters hold whole numbers, so one addition stands for n.
    cutoff = cutoffGlide.target;
    qualityFactor = qualityGlide.target;
    cutoffGlide.stepCounter += n;
    qualityGlide.stepCounter += n;
    if (!design.matches(cutoff, qualityFactor, samplingRate))
        calculateCoefficients();
    const BiquadCoefficients c = coefficients;
    BiquadState s = state;
    const double q = qualityFactor;
    for (int i = 0; i < n; ++i)
        samples[i] = s.process(c, samples[i]) / q;
    state = s;
}

double Zelvar_IirHighPassFilter::nextValue(double x) {
    advanceGlide(cutoffGlide, cutoff);
    advanceGlide(qualityGlide, qualityFactor);
    // Both glides touch their value on every sample, but once they have landed the values stand
    // still: the coefficients (one tan) are recomputed only when their inputs' bits change.
    if (!design.matches(cutoff, qualityFactor, samplingRate))
        calculateCoefficients();
    const double y = state.process(coefficients, x);
    return y / qualityFactor;
}
