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
// Two filters can run in lockstep (processPair, or a Pass for the voice, which runs it in the
// low-pass filter's loop): both filters' sections in the two lanes of a VoicePair, each
// filter's glides stepped on its own, a stretch ending where either filter's coefficients
// change. One filter alone is the same loop with a double in place of the pair.
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

    // The filter's part of a run of one filter (Lanes double) or two in lockstep (VoicePair),
    // for a caller that runs further stages in the same loop: at frame i, stretchEnd(i, n) steps
    // the settings and says up to which frame the coefficients hold, `sections` takes every
    // frame of that stretch through the filter, and finish() writes the filters' state back.
    template <typename Lanes> class Pass;

private:
    static constexpr double cutoffGlideRangeHz = 2000.0;
    static constexpr double qualityGlideRange = 10.0;

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

// One filter's settings over a run, held by value so the loop keeps them in registers.
class Zelvar_IirHighPassFilter::Controls {
public:
    Controls() = default;
    Controls(const Zelvar_IirHighPassFilter& f, const Lane& lane)
        : samplingRate(f.samplingRate), cutoff(f.cutoff), qualityFactor(f.qualityFactor),
          cutoffGlide(f.cutoffGlide), qualityGlide(f.qualityGlide), designed(f.coefficients),
          design(f.design), cutoffHz(lane.cutoffHz), q(lane.q),
          heldCutoff(lane.cutoffHz >= f.lowestCutoff ? lane.cutoffHz : f.lowestCutoff) {}

    void storeInto(Zelvar_IirHighPassFilter& f) const {
        f.cutoff = cutoff;
        f.qualityFactor = qualityFactor;
        f.cutoffGlide = cutoffGlide;
        f.qualityGlide = qualityGlide;
        f.coefficients = designed;
        f.design = design;
    }

    // Frame i: the settings go to the glides, which step; the section is redesigned if cutoff
    // or Q changed their bits. When both glides have landed and the following frames bring the
    // same settings, those frames would step to the same values again: they are counted at
    // once. Returns the end of the stretch over which coefficients() hold.
    template <bool GivesSettings> int step(int i, int n) {
        if constexpr (GivesSettings) {
            give(cutoffGlide, cutoff, cutoffHz, heldCutoff, cutoffGlideRangeHz, samplingRate);
            give(qualityGlide, qualityFactor, q, q, qualityGlideRange, samplingRate);
        }
        advance(cutoffGlide, cutoff);
        advance(qualityGlide, qualityFactor);
        if (!design.matches(cutoff, qualityFactor, samplingRate)) {
            const double k = design.prewarp(cutoff, samplingRate);
            designed = BiquadCoefficients::highPassWarped(k, qualityFactor);
            design = {cutoff, qualityFactor, samplingRate, true, k};
        }
        int end = i + 1;
        // A glide that has just landed snaps to its target on the next frame: the values in
        // hand must already be the targets.
        if (hasLanded(cutoffGlide) && hasLanded(qualityGlide) &&
            sameBits(cutoff, cutoffGlide.target) && sameBits(qualityFactor, qualityGlide.target) &&
            (!GivesSettings || (cutoffHz == cutoffGlide.target && q == qualityGlide.target))) {
            end = n;
            cutoffGlide.stepCounter += end - i - 1;
            qualityGlide.stepCounter += end - i - 1;
        }
        return end;
    }

    const BiquadCoefficients& coefficients() const { return designed; }
    // The section's output is scaled by 1/Q.
    double divisor() const { return qualityFactor; }

private:
    // Both glides touch their value on every sample, but once they have landed the values stand
    // still: the coefficients (one tan) are recomputed only when their inputs' bits change.
    static void advance(Glide& glide, double& current) {
        if (hasLanded(glide))
            current = glide.target;
        else
            current += glide.step;
        glide.stepCounter += 1.0;
    }

    double samplingRate = 0.0;
    double cutoff = 0.0;
    double qualityFactor = 1.0;
    Glide cutoffGlide{0.0};
    Glide qualityGlide{0.0};
    BiquadCoefficients designed;
    BiquadDesignKey design;
    double cutoffHz = 0.0;
    double q = 0.0;
    double heldCutoff = 0.0;
};

// Every lane's filter steps its settings at the frames where its last stretch ended; the
// section runs all lanes up to the nearest end. At rest that is one stretch of n frames.
template <typename Lanes> class Zelvar_IirHighPassFilter::Pass {
public:
    explicit Pass(const Lane* lanes) {
        for (int lane = 0; lane < count; ++lane) {
            filters[lane] = lanes[lane].filter;
            controls[lane] = Controls(*filters[lane], lanes[lane]);
            sections.s.setLane(lane, filters[lane]->state);
        }
    }
    // Writes the filters' state back.
    void finish() const {
        for (int lane = 0; lane < count; ++lane) {
            controls[lane].storeInto(*filters[lane]);
            filters[lane]->state = sections.s.lane(lane);
        }
    }

    // Steps the settings of the lanes whose stretch ends at frame i; returns the nearest end of
    // the lanes' stretches.
    template <bool GivesSettings = true> int stretchEnd(int i, int n) {
        return stepLanes(
            i, n, ends, [&](int lane) { return controls[lane].template step<GivesSettings>(i, n); },
            [&](int lane) -> const Controls& { return controls[lane]; }, sections.c,
            sections.divisor);
    }

    // What the frames of a stretch go through, every lane at once. A caller copies it into a
    // local for the loop over the stretch, so that the recurrences stay in registers, and back.
    struct Sections {
        BasicBiquadState<Lanes> s;
        BiquadTerms<Lanes> c;
        Lanes divisor{};

        Lanes process(Lanes x) { return s.process(c, x) / divisor; }
    };
    Sections sections;

private:
    static constexpr int count = laneCount<Lanes>;
    Zelvar_IirHighPassFilter* filters[count];
    Controls controls[count];
    int ends[count] = {};
};
