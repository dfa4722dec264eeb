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

void Zelvar_IirLowPassFilter::Controls::takeGlideStep(GlideStep* shared) {
    if (shared != nullptr && shared->startsFrom(cutoffGlide, qualityGlide, key, rate)) {
        cutoffGlide = shared->cutoffAfter;
        qualityGlide = shared->qualityAfter;
        key = shared->designAfter;
        c = shared->coefficients;
        fc = cutoffGlide.getCurrentValue();
        qf = qualityGlide.getCurrentValue();
        return;
    }
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

template <typename Lanes, bool GivesSettings>
void Zelvar_IirLowPassFilter::run(const Lane* lanes, int n, GlideStep* steps) {
    Pass<Lanes> pass(lanes, steps);
    runPass<Lanes, GivesSettings>(pass, lanes, n);
}

void Zelvar_IirLowPassFilter::process(double* samples, int n, const double* cutoffHz, int stride,
                                      double q, GlideStep* steps) {
    const Lane lane{this, samples, cutoffHz, stride, q};
    run<double, true>(&lane, n, steps);
}

void Zelvar_IirLowPassFilter::processPair(const Lane (&lanes)[2], int n, GlideStep* steps) {
    run<VoicePair, true>(lanes, n, steps);
}

double Zelvar_IirLowPassFilter::nextValue(double x) {
    const Lane lane{this, &x, nullptr, 0, 0.0};
    run<double, false>(&lane, 1, nullptr);
    return x;
}
