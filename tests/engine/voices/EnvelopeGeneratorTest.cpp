// Envelope stage lengths in samples, the state sequence, hold, legato and fade-out.
#include "Zelvar_EnvelopeGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

Zelvar_EnvelopeGenerator makeEnvelope(double attack, double decay, double sustain, double release) {
    Zelvar_EnvelopeGenerator envelope;
    envelope.setSamplingRate(44100.0);
    envelope.setAttackTime(attack);
    envelope.setDecayTime(decay);
    envelope.setSustainLevel(sustain);
    envelope.setReleaseTime(release);
    return envelope;
}

std::vector<double> render(Zelvar_EnvelopeGenerator& envelope, int samples) {
    std::vector<double> out(samples);
    for (double& v : out)
        v = envelope.getValue();
    return out;
}

} // namespace

TEST(EnvelopeGenerator, NewEnvelopeIsIdleAndReturnsOne) {
    Zelvar_EnvelopeGenerator envelope;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(envelope.getValue(), 1.0);
    EXPECT_EQ(envelope.getState(), EnvelopeStateIdle);
}

// 0.01 s at 44100 Hz is 441 samples; the attack formula runs while the counter is 0..441.
TEST(EnvelopeGenerator, AttackRunsFloorLengthPlusOneSamples) {
    auto envelope = makeEnvelope(0.01, 1.0, 0.5, 1.0);
    envelope.noteOn();
    const auto out = render(envelope, 444);
    EXPECT_EQ(out[0], 1.0 - std::pow(0.001, 1.0 / 441.0));
    EXPECT_NEAR(out[440], 0.999, 1e-12); // 441 attack samples close 99.9 % of the gap
    for (int i = 1; i <= 441; ++i)
        EXPECT_GT(out[i], out[i - 1]) << "attack sample " << i;
    EXPECT_GT(out[441], 0.999);
    EXPECT_LT(out[442], out[441]); // counter 442: the first decay sample
    EXPECT_LT(out[443], out[442]);
}

// With a zero attack the decay starts from exactly 1; 0.1 s = 4410 samples closes 99.9 % of
// the gap to the sustain level.
TEST(EnvelopeGenerator, DecayClosesNinetyNinePointNinePercentInDecayTime) {
    auto envelope = makeEnvelope(0.0, 0.1, 0.5, 1.0);
    envelope.noteOn();
    ASSERT_EQ(envelope.getValue(), 1.0);
    const auto out = render(envelope, 4410);
    EXPECT_GT(out[4408] - 0.5, 0.0005);
    EXPECT_NEAR(out[4409] - 0.5, 0.0005, 1e-12);
    EXPECT_EQ(envelope.getState(), EnvelopeStateNoteOn);
    // No sustain state: the level settles on the sustain level and stays.
    render(envelope, 44100);
    EXPECT_NEAR(envelope.getValue(), 0.5, 1e-12);
}

TEST(EnvelopeGenerator, SustainChangeWhileHeldGlidesAtDecayRate) {
    auto envelope = makeEnvelope(0.0, 0.1, 0.5, 1.0);
    envelope.noteOn();
    render(envelope, 44100);
    envelope.setSustainLevel(0.8);
    const auto out = render(envelope, 4410);
    EXPECT_NEAR(out[0], 0.5 + 0.3 * (1.0 - std::pow(0.001, 1.0 / 4410.0)), 1e-12);
    EXPECT_NEAR(out[4409], 0.8 - 0.3 * 0.001, 1e-12);
}

// A release of 0.0501 s (2209.41 samples) finishes on its 2210th sample, falling by 60 dB from
// the level at which it began.
TEST(EnvelopeGenerator, ReleaseFallsSixtyDecibelsInReleaseTimeThenFinishes) {
    auto envelope = makeEnvelope(0.0, 0.01, 0.6, 0.0501);
    envelope.noteOn();
    render(envelope, 44100);
    const double start = envelope.getValue();
    ASSERT_NEAR(start, 0.6, 1e-12);
    envelope.noteOff();
    EXPECT_EQ(envelope.getState(), EnvelopeStateRelease);
    const double coefficient = std::pow(0.001, 1.0 / (0.0501 * 44100.0));
    int samples = 0;
    double value = start;
    while (envelope.getState() == EnvelopeStateRelease && samples < 100000) {
        value = envelope.getValue();
        ++samples;
        ASSERT_NEAR(value, start * std::pow(coefficient, samples), 1e-12);
    }
    EXPECT_EQ(samples, 2210);
    EXPECT_EQ(envelope.getState(), EnvelopeStateFinished);
    EXPECT_LT(value, start * 0.001);
    // Finished: the output no longer changes.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(envelope.getValue(), value);
}

TEST(EnvelopeGenerator, ZeroReleaseFinishesOnFirstReleaseSample) {
    auto envelope = makeEnvelope(0.0, 0.01, 1.0, 0.0);
    envelope.noteOn();
    envelope.getValue();
    envelope.noteOff();
    EXPECT_EQ(envelope.getValue(), 0.0);
    EXPECT_EQ(envelope.getState(), EnvelopeStateFinished);
}

TEST(EnvelopeGenerator, NoteOffOnIdleOrFinishedEnvelopeEntersRelease) {
    auto envelope = makeEnvelope(0.0, 0.01, 1.0, 0.0);
    envelope.noteOff();
    EXPECT_EQ(envelope.getState(), EnvelopeStateRelease);
    EXPECT_EQ(envelope.getValue(), 0.0);
    EXPECT_EQ(envelope.getState(), EnvelopeStateFinished);
    // The release gain is already below 0.001: finished again after one sample.
    envelope.noteOff();
    EXPECT_EQ(envelope.getState(), EnvelopeStateRelease);
    envelope.getValue();
    EXPECT_EQ(envelope.getState(), EnvelopeStateFinished);
}

TEST(EnvelopeGenerator, HoldRunsExactlyAsNoteOn) {
    auto held = makeEnvelope(0.01, 0.05, 0.3, 0.1);
    auto pressed = makeEnvelope(0.01, 0.05, 0.3, 0.1);
    held.noteOn();
    pressed.noteOn();
    render(held, 100);
    render(pressed, 100);
    held.setHold();
    EXPECT_EQ(held.getState(), EnvelopeStateHold);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(held.getValue(), pressed.getValue()) << "sample " << i;
    held.noteOff();
    EXPECT_EQ(held.getState(), EnvelopeStateRelease);
}

TEST(EnvelopeGenerator, FadeOutStepsDownInHundredthsOverHundredAndOneSamples) {
    auto envelope = makeEnvelope(0.0, 0.01, 1.0, 1.0);
    envelope.noteOn();
    ASSERT_EQ(envelope.getValue(), 1.0);
    envelope.setFadeOut();
    EXPECT_EQ(envelope.getState(), EnvelopeStateFadeOut);
    for (int k = 0; k <= 100; ++k) {
        EXPECT_NEAR(envelope.getValue(), (100 - k) / 100.0, 1e-15) << "sample " << k;
        EXPECT_EQ(envelope.getState(), k < 100 ? EnvelopeStateFadeOut : EnvelopeStateFinished);
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(envelope.getValue(), 0.0);
}

TEST(EnvelopeGenerator, FadeOutDuringReleaseFadesFromReleaseGainReached) {
    auto envelope = makeEnvelope(0.0, 0.01, 1.0, 0.1);
    envelope.noteOn();
    envelope.getValue();
    envelope.noteOff();
    double last = 0.0;
    for (int i = 0; i < 1000; ++i)
        last = envelope.getValue();
    envelope.setFadeOut();
    EXPECT_DOUBLE_EQ(envelope.getValue(), last);
    EXPECT_DOUBLE_EQ(envelope.getValue(), last * 0.99);
}

// The fade-out counter is only reset by noteOn: a second fade-out of a finished envelope must
// not turn the gain negative.
TEST(EnvelopeGenerator, RepeatedFadeOutNeverGoesNegative) {
    auto envelope = makeEnvelope(0.0, 0.01, 1.0, 1.0);
    envelope.noteOn();
    envelope.getValue();
    envelope.setFadeOut();
    render(envelope, 200);
    envelope.setFadeOut();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(envelope.getValue(), 0.0);
    EXPECT_EQ(envelope.getState(), EnvelopeStateFinished);
}

TEST(EnvelopeGenerator, LegatoDuringReleaseRisesFromPresentOutput) {
    auto envelope = makeEnvelope(0.05, 0.1, 0.7, 0.5);
    envelope.noteOn();
    render(envelope, 20000);
    envelope.noteOff();
    double before = 0.0;
    for (int i = 0; i < 5000; ++i)
        before = envelope.getValue();
    ASSERT_LT(before, 0.3);
    envelope.legatoNoteOn();
    EXPECT_EQ(envelope.getState(), EnvelopeStateNoteOn);
    const auto out = render(envelope, 2206);
    // One attack step from the present output, not a restart from zero.
    EXPECT_NEAR(out[0], 1.0 + (before - 1.0) * std::pow(0.001, 1.0 / 2205.0), 1e-12);
    EXPECT_GT(out[0], before);
    EXPECT_NEAR(out[2204], 1.0 - (1.0 - before) * 0.001, 1e-12);
}

TEST(EnvelopeGenerator, LegatoDuringHoldRestartsAttack) {
    auto envelope = makeEnvelope(0.0, 0.1, 0.5, 0.5);
    envelope.noteOn();
    render(envelope, 44100);
    envelope.setHold();
    envelope.legatoNoteOn();
    EXPECT_EQ(envelope.getState(), EnvelopeStateNoteOn);
    EXPECT_EQ(envelope.getValue(), 1.0); // zero attack: back to full level at once
}

TEST(EnvelopeGenerator, LegatoChangesNothingInNoteOnFadeOutOrFinished) {
    for (const int setup : {EnvelopeStateNoteOn, EnvelopeStateFadeOut, EnvelopeStateFinished}) {
        auto envelope = makeEnvelope(0.01, 0.1, 0.5, 0.0);
        auto reference = makeEnvelope(0.01, 0.1, 0.5, 0.0);
        for (auto* e : {&envelope, &reference}) {
            e->noteOn();
            render(*e, 300);
            if (setup == EnvelopeStateFadeOut)
                e->setFadeOut();
            if (setup == EnvelopeStateFinished) {
                e->noteOff();
                e->getValue();
            }
            render(*e, 10);
        }
        ASSERT_EQ(envelope.getState(), setup);
        envelope.legatoNoteOn();
        EXPECT_EQ(envelope.getState(), setup);
        for (int i = 0; i < 500; ++i)
            ASSERT_EQ(envelope.getValue(), reference.getValue()) << "state " << setup;
    }
}

// A run of frames steps the same stages as single frames: attack, decay toward a sustain level
// that changes every frame, release to the end, and a fade-out, all inside runs.
TEST(EnvelopeGenerator, RunGivesTheBitsOfSingleFrames) {
    Zelvar_EnvelopeGenerator single;
    Zelvar_EnvelopeGenerator runs;
    std::vector<double> levels(4000);
    for (int i = 0; i < 4000; ++i)
        levels[i] = 0.5 + 0.4 * std::sin(0.002 * i);
    for (Zelvar_EnvelopeGenerator* e : {&single, &runs}) {
        e->setSamplingRate(44100.0);
        e->setAttackTime(0.005);
        e->setDecayTime(0.01);
        e->setReleaseTime(0.02);
        e->noteOn();
    }
    std::vector<double> gains(4000);
    auto step = [&](Zelvar_EnvelopeGenerator* e, int from, int to) {
        for (int start = from; start < to; start += 97)
            e->render(gains.data() + start, std::min(97, to - start), levels.data() + start, 1);
    };
    auto check = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            single.setSustainLevel(levels[i]);
            ASSERT_EQ(single.getValue(), gains[i]) << "frame " << i;
        }
    };
    step(&runs, 0, 2000);
    check(0, 2000);
    runs.noteOff();
    single.noteOff();
    step(&runs, 2000, 3000);
    check(2000, 3000);
    EXPECT_EQ(runs.getState(), EnvelopeStateFinished);
    runs.noteOn();
    single.noteOn();
    step(&runs, 3000, 3300);
    check(3000, 3300);
    runs.setFadeOut();
    single.setFadeOut();
    step(&runs, 3300, 4000);
    check(3300, 4000);
    EXPECT_EQ(single.getState(), EnvelopeStateFinished);
}

// Envelopes rendered as a group give each envelope's bits alone, whatever their stages: notes
// rising through whole runs, decaying toward sustain levels that differ per envelope and per
// frame, attacks that end inside a run, release, hold, fade-out, legato and a lengthened attack
// in between.
TEST(EnvelopeGenerator, GroupGivesTheBitsOfEachEnvelopeAlone) {
    for (int count = 1; count <= Zelvar_EnvelopeGenerator::maximumGroup; ++count) {
        Zelvar_EnvelopeGenerator grouped[4], alone[4];
        const double attacks[] = {0.001, 0.02, 0.004, 0.05};
        for (int e = 0; e < count; ++e)
            for (Zelvar_EnvelopeGenerator* g : {&grouped[e], &alone[e]}) {
                *g = makeEnvelope(attacks[e], 0.01, 0.5, 0.005);
                g->noteOn();
            }
        int frame = 0;
        for (int run = 0; run < 60; ++run) {
            const int n = 1 + (run * 41) % 128;
            auto each = [&](auto act) {
                for (int e = 0; e < count; ++e) {
                    act(grouped[e], e);
                    act(alone[e], e);
                }
            };
            if (run == 20)
                each([](Zelvar_EnvelopeGenerator& g, int e) {
                    e % 2 == 0 ? g.noteOff() : g.setHold();
                });
            if (run == 30)
                each([](Zelvar_EnvelopeGenerator& g, int e) {
                    e == 1 ? g.setFadeOut() : g.legatoNoteOn();
                });
            if (run == 40)
                each([](Zelvar_EnvelopeGenerator& g, int) { g.noteOn(); });
            // A longer attack takes a decaying note back into its attack at a frame its counter
            // decides.
            if (run == 50)
                each([](Zelvar_EnvelopeGenerator& g, int) { g.setAttackTime(0.02); });
            std::vector<double> levels(size_t(n) * count);
            for (size_t k = 0; k < levels.size(); ++k)
                levels[k] =
                    run < 10 ? 0.5 : 0.5 + 0.3 * std::sin(0.01 * (frame * count + double(k)));
            std::vector<double> gains[4], expected[4];
            Zelvar_EnvelopeGenerator* envelopes[4];
            double* lanes[4];
            for (int e = 0; e < count; ++e) {
                gains[e].resize(n);
                expected[e].resize(n);
                envelopes[e] = &grouped[e];
                lanes[e] = gains[e].data();
                alone[e].render(expected[e].data(), n, levels.data() + e, count);
            }
            Zelvar_EnvelopeGenerator::renderGroup(envelopes, lanes, count, n, levels.data(), count);
            for (int e = 0; e < count; ++e) {
                ASSERT_EQ(grouped[e].getState(), alone[e].getState());
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(gains[e][i], expected[e][i]) << count << " envelopes, envelope " << e
                                                           << ", run " << run << ", frame " << i;
            }
            frame += n;
        }
    }
}

// A stage copied from a shared memo has the bits of one worked out in place: for the time that
// filled the memo, for another time (worked out and put in the memo), and for a time equal to
// the one in use but of the other sign of zero, which keeps the stage in use as ever.
TEST(EnvelopeGenerator, StagesFromASharedMemoMatchStagesWorkedOut) {
    Zelvar_EnvelopeGenerator::StageMemo memo;
    Zelvar_EnvelopeGenerator first = makeEnvelope(0.01, 0.01, 0.5, 0.01);
    Zelvar_EnvelopeGenerator second = makeEnvelope(0.01, 0.01, 0.5, 0.01);
    Zelvar_EnvelopeGenerator plain = makeEnvelope(0.01, 0.01, 0.5, 0.01);
    for (const double seconds : {0.0, -0.0, 0.3, 0.3, 0.02}) {
        first.setDecayTime(seconds, &memo);
        second.setDecayTime(seconds, &memo);
        plain.setDecayTime(seconds);
        for (Zelvar_EnvelopeGenerator* e : {&first, &second, &plain})
            e->noteOn();
        for (int i = 0; i < 2000; ++i) {
            const double expected = plain.getValue();
            ASSERT_EQ(first.getValue(), expected) << seconds << " s, frame " << i;
            ASSERT_EQ(second.getValue(), expected) << seconds << " s, frame " << i;
        }
    }
}
