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
// Two filters can run in lockstep (processPair, or a Pass for the voice, which takes the
// high-pass filter through the same loop): both filters' sections in the two lanes of a
// VoicePair, each filter's settings stepped on its own, a stretch ending where either filter's
// coefficients change. One filter alone is the same loop with a double in place of the pair.
//
// A glide's step (a logarithm and a power for the cutoff, a tan() and the coefficients for the
// sections) is the costly part of a moving knob, and every voice takes the same steps when the
// voices' filters glide alike. Filters rendering the same frames can share a GlideStep per
// frame: keyed on the exact bits of everything the step reads, a filter whose state matches
// takes the recorded result instead of computing it again.
#pragma once

#include "Biquad.h"

#include "VoicePair.h"
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

    // The filter's part of a run of one filter (Lanes double) or two in lockstep (VoicePair),
    // for a caller that runs further stages in the same loop: at frame i, stretchEnd(i, n) steps
    // the settings and says up to which frame the coefficients hold, `sections` takes every
    // frame of that stretch through the filter, and finish() writes the filters' state back.
    template <typename Lanes> class Pass;

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

// One filter's settings over a run, held by value: the smoothers, the design in use and the
// values of the last frame.
class Zelvar_IirLowPassFilter::Controls {
public:
    Controls() = default;
    Controls(const Zelvar_IirLowPassFilter& f, const Lane& lane)
        : cutoffGlide(f.cutoffSmoother), qualityGlide(f.resonanceSmoother), c(f.coefficients),
          key(f.design), rate(f.samplingRate), fc(f.cutoff), qf(f.qualityFactor),
          cutoffHz(lane.cutoffHz), stride(lane.stride), q(lane.q) {}

    void storeInto(Zelvar_IirLowPassFilter& f) const {
        f.cutoffSmoother = cutoffGlide;
        f.resonanceSmoother = qualityGlide;
        f.coefficients = c;
        f.design = key;
        f.cutoff = fc;
        f.qualityFactor = qf;
    }

    // Frame i: the settings go to the smoothers, which step; the sections are redesigned if
    // cutoff or Q changed their bits. When both glides have landed and the following frames
    // bring the same settings, those frames would step to the same values again: they are
    // counted at once. Returns the end of the stretch over which coefficients() hold.
    template <bool GivesSettings> int step(int i, int n, GlideStep* steps) {
        if constexpr (GivesSettings) {
            cutoffGlide.setTargetValue(cutoffHz[i * stride]);
            qualityGlide.setTargetValue(q);
        }
        takeGlideStep(steps != nullptr && !(cutoffGlide.isResting() && qualityGlide.isResting())
                          ? &steps[i]
                          : nullptr);
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
        return end;
    }

    // Every field and setting with the same bits, the settings holding for the run: every step
    // of both gives the same values.
    bool sameAs(const Controls& o) const {
        return stride == 0 && o.stride == 0 && sameBits(cutoffHz[0], o.cutoffHz[0]) &&
               sameBits(q, o.q) && cutoffGlide.sameState(o.cutoffGlide) &&
               qualityGlide.sameState(o.qualityGlide) && key.sameAs(o.key) && c.sameAs(o.c) &&
               sameBits(rate, o.rate) && sameBits(fc, o.fc) && sameBits(qf, o.qf);
    }

    const BiquadCoefficients& coefficients() const { return c; }
    // The sections' output is scaled by 2/Q.
    double divisor() const { return 0.5 * qf; }

private:
    // A glide step is taken over from the filter that took it first on this frame, if the
    // state it started from had the same bits as this one; otherwise it is computed (and
    // recorded for the filters after this one).
    void takeGlideStep(GlideStep* shared);

    Zelvar_ValueSmoother cutoffGlide;
    Zelvar_ValueSmoother qualityGlide;
    BiquadCoefficients c;
    BiquadDesignKey key;
    double rate = 0.0;
    double fc = 0.0;
    double qf = 1.0;
    const double* cutoffHz = nullptr;
    int stride = 0;
    double q = 0.0;
};

// Every lane's filter steps its settings at the frames where its last stretch ended; the
// sections run all lanes up to the nearest end. At rest that is one stretch of n frames. A lane
// whose settings match the first lane's bit for bit (voices whose knobs glide alike) takes that
// lane's steps instead of repeating them.
template <typename Lanes> class Zelvar_IirLowPassFilter::Pass {
public:
    Pass(const Lane* lanes, GlideStep* steps) : steps(steps) {
        for (int lane = 0; lane < count; ++lane) {
            filters[lane] = lanes[lane].filter;
            controls[lane] = Controls(*filters[lane], lanes[lane]);
            sections.a.setLane(lane, filters[lane]->first);
            sections.b.setLane(lane, filters[lane]->second);
            twin[lane] = lane > 0 && controls[lane].sameAs(controls[0]);
        }
    }
    // Writes the filters' state back.
    void finish() const {
        for (int lane = 0; lane < count; ++lane) {
            controls[twin[lane] ? 0 : lane].storeInto(*filters[lane]);
            filters[lane]->first = sections.a.lane(lane);
            filters[lane]->second = sections.b.lane(lane);
        }
    }

    // Steps the settings of the lanes whose stretch ends at frame i; returns the nearest end of
    // the lanes' stretches.
    template <bool GivesSettings = true> int stretchEnd(int i, int n) {
        return stepLanes(
            i, n, ends,
            [&](int lane) {
                return twin[lane] ? ends[0]
                                  : controls[lane].template step<GivesSettings>(i, n, steps);
            },
            [&](int lane) -> const Controls& { return twin[lane] ? controls[0] : controls[lane]; },
            sections.c, sections.divisor);
    }

    // What the frames of a stretch go through, every lane at once. A caller copies it into a
    // local for the loop over the stretch, so that the recurrences stay in registers, and back.
    struct Sections {
        BasicBiquadState<Lanes> a, b;
        BiquadTerms<Lanes> c;
        Lanes divisor{};

        Lanes process(Lanes x) { return b.process(c, a.process(c, x)) / divisor; }
    };
    Sections sections;

private:
    static constexpr int count = laneCount<Lanes>;
    Zelvar_IirLowPassFilter* filters[count];
    Controls controls[count];
    bool twin[count] = {};
    int ends[count] = {};
    GlideStep* steps;
};
