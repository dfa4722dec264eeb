// Plain second-order low-pass section (bilinear transform with pre-warping).
//
// The noise generator softens its two-level register noise with one of these at 10 kHz. Unlike
// the voice's filters it recomputes its coefficients only when a setter really changes a value,
// so the noise path costs no tan() per sample.
#pragma once

#include "Biquad.h"

class Zelvar_ButterworthFilter {
public:
    explicit Zelvar_ButterworthFilter(double samplingRate = 44100.0, double cutoff = 20000.0,
                                      double qualityFactor = 0.7071067811865475);

    // Stores the rate only; the coefficients follow at the next recomputation.
    void setSamplingRate(double rate) { samplingRate = rate; }
    void setCutoffFrequency(double cutoffHz);
    void setQualityFactor(double q);
    void setParameter(double cutoffHz, double q);
    void calculateCoefficients();
    double nextValue(double x);

    double getCutoffFrequency() const { return cutoff; }
    double getQualityFactor() const { return qualityFactor; }

private:
    double samplingRate;
    double cutoff;
    double qualityFactor;
    BiquadState state;
    BiquadCoefficients coefficients;
    bool dirty = false;
};
