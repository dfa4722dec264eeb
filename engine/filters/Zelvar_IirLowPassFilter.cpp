// Fourth-order resonant low-pass filter of the voice.
#include "Zelvar_IirLowPassFilter.h"

#include <cmath>
#include <numbers>

namespace {
constexpr double maximumCutoffHz = 20000.0;
constexpr double minimumCutoffHz = 200.0;
constexpr double maximumQ = 20.0;
constexpr double minimumQ = 0.7071067811865475;
constexpr double glideSeconds = 0.05;
} // namespace

// The smoothers start at the creation values so that a filter used before setInitialValue
// filters at 20 kHz instead of dividing by a zero Q.
Zelvar_IirLowPassFilter::Zelvar_IirLowPassFilter(double samplingRate) : samplingRate(samplingRate) {
    setInitialValue(cutoff, qualityFactor);
}

void Zelvar_IirLowPassFilter::setInitialValue(double cutoffHz, double q) {
    const double delta = 1.0 / (glideSeconds * samplingRate);
    cutoffSmoother.setLogarithmic(true);
    cutoffSmoother.setMaxValue(maximumCutoffHz);
    cutoffSmoother.setMinValue(minimumCutoffHz);
    cutoffSmoother.setNormalizedDelta(delta);
    cutoffSmoother.setCurrentValue(cutoffHz);
    resonanceSmoother.setMaxValue(maximumQ);
    resonanceSmoother.setMinValue(minimumQ);
    resonanceSmoother.setNormalizedDelta(delta);
    resonanceSmoother.setCurrentValue(q);
}

// Frame i: the settings go to the smoothers, which step; the sections are redesigned if cutoff
// or Q changed their bits. When both glides have landed and the following frames bring the
// same settings, those frames would step to the same values again: they are counted at once
// and run through the sections with the coefficients in hand.
template <bool GivesSettings>
void Zelvar_IirLowPassFilter::run(double* samples, int n, const double* cutoffHz, int stride,
                                  double q, GlideStep* steps) {
    Zelvar_ValueSmoother cutoffGlide = cutoffSmoother;
    Zelvar_ValueSmoother qualityGlide = resonanceSmoother;
    BiquadState a = first;
    BiquadState b = second;
    BiquadCoefficients c = coefficients;
    BiquadDesignKey key = design;
    const double rate = samplingRate;
    double fc = cutoff;
    double qf = qualityFactor;
    for (int i = 0; i < n;) {
        if constexpr (GivesSettings) {
            cutoffGlide.setTargetValue(cutoffHz[i * stride]);
            qualityGlide.setTargetValue(q);
        }
        // A glide step is taken over from the filter that took it first on this frame, if the
        // state it started from had the same bits as this one; otherwise it is computed (and
        // recorded for the filters after this one).
        GlideStep* shared = nullptr;
        if (steps != nullptr && !(cutoffGlide.isResting() && qualityGlide.isResting()))
            shared = &steps[i];
        if (shared != nullptr && shared->startsFrom(cutoffGlide, qualityGlide, key, rate)) {
            cutoffGlide = shared->cutoffAfter;
            qualityGlide = shared->qualityAfter;
            key = shared->designAfter;
            c = shared->coefficients;
            fc = cutoffGlide.getCurrentValue();
            qf = qualityGlide.getCurrentValue();
        } else {
            if (shared != nullptr)
                *shared = {cutoffGlide, qualityGlide, cutoffGlide, qualityGlide, key, key, c, rate};
            fc = cutoffGlide.nextValue();
            qf = qualityGlide.nextValue();
            // Coefficients are recomputed only when cutoff, Q or rate really changed: the result
            // is bit-identical, and tan() leaves the per-sample path once the glides have ended.
            if (!key.matches(fc, qf, rate)) {
                const double k = key.prewarp(fc, rate);
                c = BiquadCoefficients::lowPassWarped(k, qf);
                key = {fc, qf, rate, true, k};
            }
            if (shared != nullptr) {
                shared->cutoffAfter = cutoffGlide;
                shared->qualityAfter = qualityGlide;
                shared->designAfter = key;
                shared->coefficients = c;
                shared->recorded = true;
            }
        }
        int end = i + 1;
        // A glide that has just landed snaps to its target on the next frame: the values in
        // hand must already be the targets.
        const double heldCutoff = cutoffGlide.getTargetValue();
        const double heldQ = qualityGlide.getTargetValue();
        if (cutoffGlide.isResting() && qualityGlide.isResting() && sameBits(fc, heldCutoff) &&
            sameBits(qf, heldQ) && (!GivesSettings || q == heldQ)) {
            end = stride == 0 || !GivesSettings ? n : end;
            while (end < n && cutoffHz[end * stride] == heldCutoff)
                ++end;
            cutoffGlide.rest(end - i - 1);
            qualityGlide.rest(end - i - 1);
        }
        const double divisor = 0.5 * qf;
        for (; i < end; ++i)
            samples[i] = b.process(c, a.process(c, samples[i])) / divisor;
    }
    cutoffSmoother = cutoffGlide;
    resonanceSmoother = qualityGlide;
    first = a;
    second = b;
    coefficients = c;
    design = key;
    cutoff = fc;
    qualityFactor = qf;
}

void Zelvar_IirLowPassFilter::process(double* samples, int n, const double* cutoffHz, int stride,
                                      double q, GlideStep* steps) {
    run<true>(samples, n, cutoffHz, stride, q, steps);
}

double Zelvar_IirLowPassFilter::nextValue(double x) {
    run<false>(&x, 1, nullptr, 0, 0.0, nullptr);
    return x;
}
