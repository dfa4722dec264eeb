// The voice's resonant low-pass filter: two identical second-order sections in series (fourth
// order) after the oscillator, with cutoff and resonance glided by two value smoothers.
//
// Cutoff glides on a logarithmic scale (each octave in equal time), resonance linearly; a sweep
// across either whole range lasts 50 ms. The output is scaled by 2/Q, so the pass-band gain
// falls as the resonance rises (about 2.83 at Q = 1/sqrt(2), 0.2 at Q = 10).
#pragma once

#include "Biquad.h"

#include "Zelvar_ValueSmoother.h"

class Zelvar_IirLowPassFilter {
public:
    explicit Zelvar_IirLowPassFilter(double samplingRate = 44100.0);

    // Jumps both smoothers to the given values (no glide); the voice calls it once at creation.
    void setInitialValue(double cutoffHz, double q);
    void setSamplingRate(double rate) { samplingRate = rate; }
    void setCutoffFrequency(double cutoffHz) { cutoffSmoother.setTargetValue(cutoffHz); }
    void setQualityFactor(double q) { resonanceSmoother.setTargetValue(q); }
    void calculateCoefficients();
    double nextValue(double x);
    // nextValue() on each of n samples in place. Once both glides have landed, cutoff and Q stand
    // still, and the sections run with fixed coefficients in a tight loop.
    void process(double* samples, int n);

    // The values in use for the last sample.
    double getCutoffFrequency() const { return cutoff; }
    double getQualityFactor() const { return qualityFactor; }
    // The glides' targets: a setter given the same value changes nothing.
    double getTargetCutoffFrequency() const { return cutoffSmoother.getTargetValue(); }
    double getTargetQualityFactor() const { return resonanceSmoother.getTargetValue(); }

private:
    Zelvar_ValueSmoother cutoffSmoother;
    Zelvar_ValueSmoother resonanceSmoother;
    double samplingRate;
    double cutoff = 20000.0;
    double qualityFactor = 0.7071067811865475;
    BiquadState first;
    BiquadState second;
    BiquadCoefficients coefficients;
    BiquadDesignKey design;
};
