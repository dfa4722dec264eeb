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

// Bilinear transform with pre-warping.
void Zelvar_IirLowPassFilter::calculateCoefficients() {
    coefficients = BiquadCoefficients::lowPass(cutoff, qualityFactor, samplingRate);
    design = {cutoff, qualityFactor, samplingRate, true};
}

void Zelvar_IirLowPassFilter::process(double* samples, int n) {
    if (n <= 0)
        return;
    if (!cutoffSmoother.isResting() || !resonanceSmoother.isResting()) {
        for (int i = 0; i < n; ++i)
            samples[i] = nextValue(samples[i]);
        return;
    }
    cutoff = cutoffSmoother.getTargetValue();
    qualityFactor = resonanceSmoother.getTargetValue();
    cutoffSmoother.rest(n);
    resonanceSmoother.rest(n);
    if (!design.matches(cutoff, qualityFactor, samplingRate))
        calculateCoefficients();
    const BiquadCoefficients c = coefficients;
    BiquadState a = first;
    BiquadState b = second;
    const double divisor = 0.5 * qualityFactor;
    for (int i = 0; i < n; ++i)
        samples[i] = b.process(c, a.process(c, samples[i])) / divisor;
    first = a;
    second = b;
}

double Zelvar_IirLowPassFilter::nextValue(double x) {
    cutoff = cutoffSmoother.nextValue();
    qualityFactor = resonanceSmoother.nextValue();
    // Coefficients are recomputed only when cutoff, Q or rate really changed: the result is
    // bit-identical, and tan() leaves the per-sample path once the glides have ended.
    if (!design.matches(cutoff, qualityFactor, samplingRate))
        calculateCoefficients();
    const double z = second.process(coefficients, first.process(coefficients, x));
    return z / (0.5 * qualityFactor);
}
