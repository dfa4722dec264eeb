// The voice's resonant low-pass filter: two identical second-order sections in series (fourth
// order) after the oscillator, with cutoff and resonance glided by two value smoothers.
//
// Cutoff glides on a logarithmic scale (each octave in equal time), resonance linearly; a sweep
// across either whole range lasts 50 ms. The output is scaled by 2/Q, so the pass-band gain
// falls as the resonance rises (about 2.83 at Q = 1/sqrt(2), 0.2 at Q = 10).
//
// A run of frames is one loop with smoothers, sections and coefficients in locals: every frame
// hands its cutoff and Q to the smoothers (as the setters do), steps them, redesigns the
// sections only when cutoff or Q changed their bits, and filters. Frames over which the
// coefficients hold go through the sections in one stretch. A single frame is that loop with
// n = 1, so a glide that starts or lands inside a run gives the same bits as frame by frame.
//
// The voices render their filters in pairs (processPair): one loop over the frames runs both
// filters' sections in the two lanes of a VoicePair, each filter's settings stepped on its own,
// and a stretch ends where either filter's coefficients change. One filter alone is the same
// loop with a double in place of the pair.
//
// A glide's step (a logarithm and a power for the cutoff, a tan() and the coefficients for the
// sections) is the costly part of a moving knob, and every voice takes the same steps when the
// voices' filters glide alike. Filters rendering the same frames can share a GlideStep per
// frame: keyed on the exact bits of everything the step reads, a filter whose state matches
// takes the recorded result instead of computing it again.
#pragma once

#include "Biquad.h"

#include "Zelvar_ValueSmoother.h"

class Zelvar_IirLowPassFilter {
public:
    // One frame's glide step: the state it started from and the state it led to.
    struct GlideStep {
        Zelvar_ValueSmoother cutoffBefore, qualityBefore, cutoffAfter, qualityAfter;
        BiquadDesignKey designBefore, designAfter;
        BiquadCoefficients coefficients;
        double samplingRate = 0.0;
        bool recorded = false;

        bool startsFrom(const Zelvar_ValueSmoother& cutoff, const Zelvar_ValueSmoother& quality,
                        const BiquadDesignKey& design, double rate) const {
            return recorded && cutoffBefore.sameState(cutoff) && qualityBefore.sameState(quality) &&
                   designBefore.sameAs(design) && sameBits(samplingRate, rate);
        }
    };

    // What one filter takes for a run: its samples, filtered in place, and its settings.
    struct Lane {
        Zelvar_IirLowPassFilter* filter;
        double* samples;
        const double* cutoffHz;
        int stride;
        double q;
    };

    explicit Zelvar_IirLowPassFilter(double samplingRate = 44100.0);

    // Jumps both smoothers to the given values (no glide); the voice calls it once at creation.
    void setInitialValue(double cutoffHz, double q);
    void setSamplingRate(double rate) { samplingRate = rate; }
    void setCutoffFrequency(double cutoffHz) { cutoffSmoother.setTargetValue(cutoffHz); }
    void setQualityFactor(double q) { resonanceSmoother.setTargetValue(q); }
    // One frame at the settings last given.
    double nextValue(double x);
    // n frames in place, frame i given the cutoff cutoffHz[i * stride] (stride 0: one cutoff for
    // all) and the Q q as the setters take them.
    // steps[i], if given, is shared by the filters that render frame i of the same runs.
    void process(double* samples, int n, const double* cutoffHz, int stride, double q,
                 GlideStep* steps = nullptr);
    // Two filters over the same n frames in lockstep, each as process() would run it.
    static void processPair(const Lane (&lanes)[2], int n, GlideStep* steps);

    // The values in use for the last sample.
    double getCutoffFrequency() const { return cutoff; }
    double getQualityFactor() const { return qualityFactor; }

private:
    class Controls;
    template <typename Lanes, bool GivesSettings>
    static void run(const Lane* lanes, int n, GlideStep* steps);

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
