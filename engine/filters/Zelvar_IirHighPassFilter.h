// The voice's resonant high-pass filter: one second-order section after the low-pass filter,
// with its own linear glide of cutoff (2000 Hz in 50 ms) and resonance (10 in 50 ms).
//
// The first cutoff and the first Q apply at once; later changes glide. The cutoff is held at
// 20 Hz or above. The output is scaled by 1/Q, so the pass-band gain is 1/Q.
//
// A run of frames is one loop with glides, section and coefficients in locals: every frame
// hands both settings to the glides (as the setters do), steps them, redesigns the section only
// when cutoff or Q changed their bits, and filters. Frames over which the coefficients hold go
// through the section in one stretch. A single frame is that loop with n = 1, so a glide that
// starts or lands inside a run gives the same bits as frame by frame.
//
// The voices render their filters in pairs (processPair): one loop runs both filters' sections
// in the two lanes of a VoicePair, each filter's glides stepped on its own, and a stretch ends
// where either filter's coefficients change. One filter alone is the same loop with a double in
// place of the pair.
#pragma once

#include "Biquad.h"

class Zelvar_IirHighPassFilter {
public:
    // What one filter takes for a run: its samples, filtered in place, and its settings.
    struct Lane {
        Zelvar_IirHighPassFilter* filter;
        double* samples;
        double cutoffHz;
        double q;
    };

    explicit Zelvar_IirHighPassFilter(double samplingRate = 44100.0) : samplingRate(samplingRate) {}

    void setSamplingRate(double rate) { samplingRate = rate; }
    void setCutoffFrequency(double cutoffHz);
    void setQualityFactor(double q);
    // One frame at the settings last given.
    double nextValue(double x);
    // n frames in place, every frame given cutoffHz and q as the setters take them.
    void process(double* samples, int n, double cutoffHz, double q);
    // Two filters over the same n frames in lockstep, each as process() would run it.
    static void processPair(const Lane (&lanes)[2], int n);

    // The values in use for the last sample.
    double getCutoffFrequency() const { return cutoff; }
    double getQualityFactor() const { return qualityFactor; }

private:
    // One linear glide: the value in use moves by step per sample until the target is reached.
    // The first value given applies at once.
    struct Glide {
        double target;
        double stepCounter = 0.0;
        double stepCount = 0.0;
        double step = 0.0;
        bool first = true;
    };
    class Controls;
    static bool hasLanded(const Glide& glide) { return glide.stepCount - glide.stepCounter < 1.0; }
    // A setting: the first applies at once; a new target restarts the glide from where the
    // value stands, counting the samples it takes at full-range speed.
    static void give(Glide& glide, double& current, double value, double target, double fullRange,
                     double samplingRate);
    template <typename Lanes, bool GivesSettings> static void run(const Lane* lanes, int n);

    double samplingRate;
    double cutoff = 20.0;
    double qualityFactor = 0.7071067811865475;
    double lowestCutoff = 20.0;
    Glide cutoffGlide{2000.0};
    Glide qualityGlide{0.7071067811865475};
    BiquadState state;
    BiquadCoefficients coefficients;
    BiquadDesignKey design;
};
