// Amplitude envelope of one voice: exponential attack toward 1, decay toward the sustain level,
// release, a damper hold, and a fixed 100-sample fade-out for a voice that is taken away.
//
// Every stage is defined by the -60 dB point: a stage closes 99.9 % of its gap in its time.
// The output is level x release gain x fade-out gain; release and fade-out scale a frozen
// level, so each falls from wherever the envelope stood.
//
// A run of frames is one loop over the frames with the state in locals, the stage chosen per
// frame; a single frame (getValue) is that loop with n = 1. The stage steps are written once
// and each frame performs the same operations in the same order whatever the run's length, so
// the gains keep their bits however the frames are cut into runs.
// The voices render their envelopes in groups (renderGroup): one loop takes all the group's
// steps frame by frame, so that each envelope's chain from frame to frame overlaps the others'.
// While every held note of a group decays, or rises through the whole run, the stage is chosen
// once for the run: only an event ends a hold, and the stage counter only grows.
#pragma once

#include <cstdint>

enum EnvelopeState : int32_t {
    EnvelopeStateIdle = 0,
    EnvelopeStateNoteOn = 1,
    EnvelopeStateHold = 2,
    EnvelopeStateRelease = 3,
    EnvelopeStateFadeOut = 4,
    EnvelopeStateFinished = 5,
};

class Zelvar_EnvelopeGenerator {
public:
    Zelvar_EnvelopeGenerator() = default;

    // Stores the rate only: set it before the stage times.
    void setSamplingRate(double rate) { samplingRate = rate; }
    struct StageMemo;
    // A memo, if given, is shared by envelopes that take the same times (every voice takes the
    // knob's): see StageMemo.
    void setAttackTime(double seconds, StageMemo* memo = nullptr);
    void setDecayTime(double seconds, StageMemo* memo = nullptr);
    void setReleaseTime(double seconds, StageMemo* memo = nullptr);
    void setSustainLevel(double level) { sustainLevel = level; }

    void noteOn();
    void legatoNoteOn();
    void noteOff() { state = EnvelopeStateRelease; }
    void setHold() { state = EnvelopeStateHold; }
    void setFadeOut() { state = EnvelopeStateFadeOut; }

    int getState() const { return state; }
    // One frame at the sustain level last set.
    double getValue();
    // n frames, the sustain level of frame i taken from sustainLevels[i * stride] (stride 0: one
    // level for all).
    void render(double* gains, int n, const double* sustainLevels, int stride);
    // `count` envelopes (1 to maximumGroup) over the same n frames, envelope j's sustain level
    // of frame i being sustainLevels[i * stride + j]: as render() of each.
    static constexpr int maximumGroup = 4;
    static void renderGroup(Zelvar_EnvelopeGenerator* const* envelopes, double* const* gains,
                            int count, int n, const double* sustainLevels, int stride);
    // How many of the next `limit` getValue() calls it takes to reach EnvelopeStateFinished (the
    // finishing call included), or `limit` if it does not finish within them; 0 if finished.
    int framesUntilFinished(int limit) const;

    // One stage's time, its length in samples and its per-sample -60 dB coefficient.
    struct Stage {
        double seconds = 0.0;
        double lengthSamples = 0.0;
        double coefficient = 0.0;
    };
    // The stage last worked out for a time and a rate: an envelope given a time with the same
    // bits at a rate with the same bits copies it instead of calling pow() again.
    struct StageMemo {
        Stage stage;
        double samplingRate = 0.0;
        bool valid = false;
    };

private:
    void setStageTime(Stage& stage, double seconds, StageMemo* memo) const;
    class Run;
    template <int Count>
    static void renderLanes(Zelvar_EnvelopeGenerator* const* envelopes, double* const* gains, int n,
                            const double* sustainLevels, int stride);

    double samplingRate = 44100.0;
    int state = EnvelopeStateIdle;
    Stage attack;
    Stage decay;
    double sustainLevel = 1.0;
    Stage release;
    double stageCounter = 0.0;
    double level = 1.0;
    double releaseGain = 1.0;
    double fadeOutCounter = 0.0;
    double fadeOutGain = 1.0;
};
