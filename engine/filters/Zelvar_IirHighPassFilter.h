// The voice's resonant high-pass filter: one second-order section after the low-pass filter,
// with its own linear glide of cutoff (2000 Hz in 50 ms) and resonance (10 in 50 ms).
//
// The first cutoff and the first Q apply at once; later changes glide. The cutoff is held at
// 20 Hz or above. The output is scaled by 1/Q, so the pass-band gain is 1/Q.
#pragma once

#include "Biquad.h"

class Zelvar_IirHighPassFilter {
public:
    explicit Zelvar_IirHighPassFilter(double samplingRate = 44100.0) : samplingRate(samplingRate) {}

    void setSamplingRate(double rate) { samplingRate = rate; }
    void setCutoffFrequency(double cutoffHz);
    void setQualityFactor(double q);
    void calculateCoefficients();
    double nextValue(double x);
    // nextValue() on each of n samples in place; a tight loop once both glides have landed.
    void process(double* samples, int n);

    // The values in use for the last sample.
    double getCutoffFrequency() const { return cutoff; }
    double getQualityFactor() const { return qualityFactor; }
    // The glides' targets: a setter given the same value changes nothing (after the first).
    double getTargetCutoffFrequency() const { return cutoffGlide.target; }
    double getTargetQualityFactor() const { return qualityGlide.target; }
    bool hasFirstValues() const { return !firstCutoff && !firstQ; }

private:
    // One linear glide: value in use moves by step per sample until the target is reached.
    struct Glide {
        double target;
        double stepCounter = 0.0;
        double stepCount = 0.0;
        double step = 0.0;
    };
    void startGlide(Glide& glide, double current, double target, double fullRange) const;
    void advanceGlide(Glide& glide, double& current) const;
    static bool hasLanded(const Glide& glide) { return glide.stepCount - glide.stepCounter < 1.0; }

    double samplingRate;
    double cutoff = 20.0;
    double qualityFactor = 0.7071067811865475;
    double lowestCutoff = 20.0;
    Glide cutoffGlide{2000.0};
    Glide qualityGlide{0.7071067811865475};
    BiquadState state;
    BiquadCoefficients coefficients;
    BiquadDesignKey design;
    bool firstCutoff = true;
    bool firstQ = true;
};
