// The engine making music, driven only through its C interface: events posted on the sample
// clock, audio pulled through the exported render callback, everything measured from the output.
#include "EngineDriver.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>

using analysis::amplitudeAt;
using analysis::frequencyByZeroCrossings;
using analysis::largestStep;
using analysis::peak;
using analysis::rms;

namespace {

constexpr double rate = 44100.0;
// Default knobs: the low-pass passes 2/Q, the high-pass 1/Q (Q = 0.7071), master 0.4096, and the
// mix is scaled by 0.1 before the delay.
constexpr double chainGain = (2.0 / 0.7071) * (1.0 / 0.7071) * 0.4096 * 0.1;

double knobFor(double value, double min, double max) { // inverse of the power-4 curve
    return std::pow((value - min) / (max - min), 0.25);
}

} // namespace

TEST(EngineMusic, Note69PlaysAt440HzAndTransposeAndBendMoveIt) {
    struct Case {
        ParameterType type;
        double knob;
        double hertz;
    };
    for (const Case& c :
         {Case{ParameterTypeNone, 0, 440.0}, Case{ParameterTypeOctaveTranspose, 0.75, 880.0},
          Case{ParameterTypeOctaveTranspose, 0.0, 110.0},
          Case{ParameterTypePitchBend, 1.0, 440.0 * std::pow(2.0, 2.0 / 12.0)},
          Case{ParameterTypePitchBend, 0.0, 440.0 * std::pow(2.0, -2.0 / 12.0)}}) {
        EngineDriver engine;
        if (c.type != ParameterTypeNone)
            engine.parameter(0, c.type, c.knob);
        engine.noteOn(0, 69, 100);
        const auto out = engine.render(44100);
        EXPECT_NEAR(frequencyByZeroCrossings(out.left, 4000, 44100), c.hertz, 0.05)
            << "parameter " << c.type;
    }
}

// A full bend moves by the "Pitch Bend Range" in semitones, up and down; the range's knob has
// eleven steps, one a semitone from 2 to 12.
TEST(EngineMusic, AFullBendMovesByTheBendRange) {
    for (const int semitones : {2, 7, 12}) {
        for (const double bend : {1.0, 0.0}) {
            EngineDriver engine;
            engine.parameter(0, ParameterTypePitchBendRange, (semitones - 2) / 10.0);
            engine.parameter(0, ParameterTypePitchBend, bend);
            engine.noteOn(0, 60, 100);
            const auto out = engine.render(44100);
            const double sign = bend > 0.5 ? 1.0 : -1.0;
            const double hertz = 261.6255653 * std::pow(2.0, sign * semitones / 12.0);
            EXPECT_NEAR(frequencyByZeroCrossings(out.left, 4000, 44100), hertz, hertz * 1e-4)
                << semitones << " semitones, bend " << sign;
        }
    }
}

TEST(EngineMusic, OneSineVoiceHasTheLevelTheChainPredicts) {
    for (int velocity : {127, 100}) {
        EngineDriver engine;
        engine.noteOn(0, 60, velocity);
        const auto out = engine.render(44100);
        const double expected = chainGain * velocity_default[velocity];
        EXPECT_NEAR(amplitudeAt(out.left, 8000, 44100, 261.6256), expected, expected * 0.01)
            << "velocity " << velocity;
        EXPECT_NEAR(peak(out.right, 8000, 44100), expected, expected * 0.01);
    }
}

TEST(EngineMusic, NoteStartsExactly1024SamplesAfterItsStamp) {
    EngineDriver early, late;
    early.noteOn(500, 60, 100);
    late.noteOn(501, 60, 100);
    const auto a = early.render(4000, 64);
    const auto b = late.render(4000, 256);
    for (size_t i = 0; i < 1524; ++i)
        ASSERT_EQ(a.left[i], 0.0f) << "sound before the due sample " << i;
    EXPECT_NE(a.left[1525], 0.0f);
    for (size_t i = 0; i + 1 < 4000; ++i)
        ASSERT_EQ(b.left[i + 1], a.left[i]) << "one sample later in stamp, one sample later out";
}

TEST(EngineMusic, ReleaseFallsSixtyDecibelsInTheReleaseTimeThenTheVoiceIsGone) {
    EngineDriver engine;
    engine.parameter(0, ParameterTypeVcaEgReleaseTime, knobFor(0.5, 0.01, 10.0));
    const double release =
        DspGetParameterInfo(engine.handle(), ParameterTypeVcaEgReleaseTime).currentValue;
    engine.noteOn(0, 69, 127);
    engine.noteOff(20000, 69);
    const auto out = engine.render(60000);
    const size_t off = 21024;
    const double releaseSamples = release * rate;
    const size_t end = off + size_t(releaseSamples);
    // The window before the end is centred 441 samples short of it, where the exponential
    // release has fallen 60 dB x (1 - 441 / length).
    const double before = rms(out.left, off - 882, off);
    const double after = rms(out.left, end - 882, end);
    EXPECT_NEAR(20.0 * std::log10(after / before), -60.0 * (1.0 - 441.0 / releaseSamples), 1.0);
    for (size_t i = end + 1000; i < out.left.size(); ++i)
        ASSERT_EQ(out.left[i], 0.0f) << "the finished voice left something at " << i;
}

TEST(EngineMusic, NinthNoteStealsWithAFadeNotAClick) {
    EngineDriver engine;
    for (int i = 0; i < 8; ++i)
        engine.noteOn(0, 60 + 2 * i, 127);
    engine.noteOn(20000, 84, 127);
    const auto out = engine.render(30000);
    const double steady = largestStep(out.left, 15000, 21024);
    const double atSteal = largestStep(out.left, 21024, 21224);
    EXPECT_LT(atSteal, 1.5 * steady) << "a voice cut without its fade clicks";
    EXPECT_GT(amplitudeAt(out.left, 24000, 30000, 440.0 * std::pow(2.0, 15.0 / 12.0)), 0.01)
        << "the ninth note sounds";
    EXPECT_LT(amplitudeAt(out.left, 24000, 30000, 261.6256), 0.001) << "the first one is gone";
}

TEST(EngineMusic, LegatoGlidesWithoutRetriggering) {
    EngineDriver engine;
    engine.parameter(0, ParameterTypeLegato, 1.0);
    engine.parameter(0, ParameterTypePortamentoTime, knobFor(0.1, 0.0, 10.0));
    engine.noteOn(0, 60, 127);
    engine.noteOn(20000, 67, 127);
    const auto out = engine.render(40000);
    const double level = peak(out.left, 15000, 21024);
    for (size_t from = 21024; from < 40000; from += 441)
        ASSERT_GT(peak(out.left, from, from + 441), 0.95 * level)
            << "envelope restarted at " << from;
    EXPECT_NEAR(frequencyByZeroCrossings(out.left, 21024 + 4410, 40000), 391.995, 0.05);
    // The glide starts from the old pitch: early on, the period is still near 261.6 Hz's.
    EXPECT_LT(frequencyByZeroCrossings(out.left, 21024, 21024 + 441), 330.0);
}

TEST(EngineMusic, DamperHoldsReleasedKeysUntilLifted) {
    EngineDriver engine;
    engine.parameter(0, ParameterTypeDamper, 1.0);
    engine.noteOn(0, 69, 127);
    engine.noteOff(5000, 69);
    engine.parameter(30000, ParameterTypeDamper, 0.0);
    const auto out = engine.render(40000);
    const double held = peak(out.left, 4000, 6000);
    EXPECT_GT(peak(out.left, 29000, 31000), 0.95 * held) << "the damper holds the note";
    EXPECT_EQ(peak(out.left, 33000, 40000), 0.0) << "lifting it releases (0.01 s) and ends it";
}

TEST(EngineMusic, DelayEchoArrivesLMinusOneSamplesLaterAndDecaysByTheFeedback) {
    EngineDriver dry, wet;
    wet.parameter(0, ParameterTypeDelayMix, 1.0);
    for (EngineDriver* e : {&dry, &wet}) {
        e->parameter(0, ParameterTypeDelayFeedback, 0.5);
        e->noteOn(0, 69, 127);
        e->noteOff(2000, 69);
    }
    const auto d = dry.render(30000);
    const auto w = wet.render(30000);
    constexpr size_t lag = 8819; // 0.2 s: L = 8820
    for (size_t i = 0; i < lag; ++i)
        ASSERT_EQ(w.left[i], 0.0f);
    for (size_t i = lag; i < 30000; ++i) {
        const double expected = d.left[i - lag] + (i >= 2 * lag ? 0.5 * w.left[i - lag] : 0.0);
        ASSERT_NEAR(w.left[i], expected, 1e-6) << "at " << i;
    }
}

// Sequencer events travel the main ring like any other, due 1024 samples after their stamp.
// Without an output unit the stamp is 0, so the pattern starts at sample 1024.
TEST(EngineMusic, SequencedPatternLoopsInTimeAndStopReleasesItsNotes) {
    EngineDriver engine;
    DspObject dsp = engine.handle();
    DspSetSequencerEvent(dsp, EventTypeSequencerSetEvent, EventSubTypeNoteOn, 0, 69, 127, 0, 1, 0);
    DspSetSequencerEvent(dsp, EventTypeSequencerSetEvent, EventSubTypeNoteOff, 0, 69, 0, 0, 2, 240);
    DspSetSequencerEvent(dsp, EventTypeSequencerTransport, 0, 0, 1.0, 0, 0, 0, 0);
    const auto pattern = engine.render(100000);
    constexpr size_t start = 1024, offAt = start + 11025, pass = 88202;
    EXPECT_EQ(peak(pattern.left, 0, start), 0.0);
    EXPECT_GT(peak(pattern.left, start, start + 100), 0.0) << "tick 0 plays at the start";
    EXPECT_GT(peak(pattern.left, offAt - 100, offAt), 0.1);
    EXPECT_EQ(peak(pattern.left, offAt + 1000, start + pass), 0.0) << "tick 240 released it";
    EXPECT_GT(peak(pattern.left, start + pass, start + pass + 100), 0.0) << "the loop came round";

    EngineDriver stopped;
    DspObject other = stopped.handle();
    DspSetSequencerEvent(other, EventTypeSequencerSetEvent, EventSubTypeNoteOn, 0, 69, 127, 0, 1,
                         0);
    DspSetSequencerEvent(other, EventTypeSequencerTransport, 0, 0, 1.4, 0, 0, 0, 0);
    stopped.render(5000);
    DspSetSequencerEvent(other, EventTypeSequencerTransport, 0, 0, 1.5, 0, 0, 0, 0);
    const auto after = stopped.render(10000);
    EXPECT_EQ(peak(after.left, 2000, 10000), 0.0) << "a stop releases every note";
}
