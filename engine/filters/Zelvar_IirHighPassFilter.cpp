// Second-order resonant high-pass filter of the voice.
#include "Zelvar_IirHighPassFilter.h"

#include <cmath>

namespace {
constexpr double glideSeconds = 0.05;
constexpr double cutoffGlideRangeHz = 2000.0;
constexpr double qualityGlideRange = 10.0;
} // namespace

// The filter's moving parts for one run, held by value so the loop keeps them in registers.
struct Zelvar_IirHighPassFilter::Frame {
    double samplingRate;
    double cutoff;
    double qualityFactor;
    Glide cutoffGlide;
    Glide qualityGlide;
    BiquadState state;
    BiquadCoefficients coefficients;
    BiquadDesignKey design;

    static void advance(Glide& glide, double& current) {
        if (hasLanded(glide))
            current = glide.target;
        else
            current += glide.step;
        glide.stepCounter += 1.0;
    }
    // Both glides touch their value on every sample, but once they have landed the values stand
    // still: the coefficients (one tan) are recomputed only when their inputs' bits change.
    void step() {
        advance(cutoffGlide, cutoff);
        advance(qualityGlide, qualityFactor);
        if (!design.matches(cutoff, qualityFactor, samplingRate)) {
            const double k = design.prewarp(cutoff, samplingRate);
            coefficients = BiquadCoefficients::highPassWarped(k, qualityFactor);
            design = {cutoff, qualityFactor, samplingRate, true, k};
        }
    }
};

void Zelvar_IirHighPassFilter::give(Glide& glide, double& current, double value, double target,
                                    double fullRange, double samplingRate) {
    if (glide.first) {
        current = glide.target = value;
        glide.first = false;
        return;
    }
    if (value == glide.target)
        return;
    glide.target = target;
    glide.step = fullRange / (glideSeconds * samplingRate);
    if (current > target)
        glide.step = -glide.step;
    glide.stepCount = std::fabs((target - current) / glide.step);
    glide.stepCounter = 0.0;
}

// Frame i: the settings go to the glides, which step; the section is redesigned if cutoff or Q
// changed their bits. When both glides have landed and the following frames bring the same
// settings, those frames would step to the same values again: they are counted at once and run
// through the section with the coefficients in hand.
template <bool GivesSettings>
void Zelvar_IirHighPassFilter::run(double* samples, int n, double cutoffHz, double q) {
    Frame f{samplingRate, cutoff, qualityFactor, cutoffGlide,
            qualityGlide, state,  coefficients,  design};
    const double heldCutoff = cutoffHz >= lowestCutoff ? cutoffHz : lowestCutoff;
    for (int i = 0; i < n;) {
        if constexpr (GivesSettings) {
            give(f.cutoffGlide, f.cutoff, cutoffHz, heldCutoff, cutoffGlideRangeHz, samplingRate);
            give(f.qualityGlide, f.qualityFactor, q, q, qualityGlideRange, samplingRate);
        }
        f.step();
        int end = i + 1;
        // A glide that has just landed snaps to its target on the next frame: the values in
        // hand must already be the targets.
        if (hasLanded(f.cutoffGlide) && hasLanded(f.qualityGlide) &&
            sameBits(f.cutoff, f.cutoffGlide.target) &&
            sameBits(f.qualityFactor, f.qualityGlide.target) &&
            (!GivesSettings || (cutoffHz == f.cutoffGlide.target && q == f.qualityGlide.target))) {
            end = n;
            f.cutoffGlide.stepCounter += end - i - 1;
            f.qualityGlide.stepCounter += end - i - 1;
        }
        const BiquadCoefficients c = f.coefficients;
        const double divisor = f.qualityFactor;
        BiquadState s = f.state;
        for (; i < end; ++i)
            samples[i] = s.process(c, samples[i]) / divisor;
        f.state = s;
    }
    cutoff = f.cutoff;
    qualityFactor = f.qualityFactor;
    cutoffGlide = f.cutoffGlide;
    qualityGlide = f.qualityGlide;
    state = f.state;
    coefficients = f.coefficients;
    design = f.design;
}

void Zelvar_IirHighPassFilter::setCutoffFrequency(double cutoffHz) {
    give(cutoffGlide, cutoff, cutoffHz, cutoffHz >= lowestCutoff ? cutoffHz : lowestCutoff,
         cutoffGlideRangeHz, samplingRate);
}

void Zelvar_IirHighPassFilter::setQualityFactor(double q) {
    give(qualityGlide, qualityFactor, q, q, qualityGlideRange, samplingRate);
}

void Zelvar_IirHighPassFilter::process(double* samples, int n, double cutoffHz, double q) {
    run<true>(samples, n, cutoffHz, q);
}

double Zelvar_IirHighPassFilter::nextValue(double x) {
    run<false>(&x, 1, 0.0, 0.0);
    return x;
}
