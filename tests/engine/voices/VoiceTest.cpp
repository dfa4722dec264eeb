// One voice: pitch, glide, bend, velocity gain and the damper, read from the voice itself; and
// voices rendered as a group against the same voices one after another.
#include "Corvena_Core.h"
#include "Zelvar_Dsp.h"
#include "Zelvar_EnvelopeGenerator.h"
#include "Zelvar_ParameterManager.h"
#include "Zelvar_Voice.h"
#include "Zelvar_VoiceList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dsp.setBundleDirectoryPath(CORVENA_TEST_RESOURCES);
        dsp.initialize();
    }
    void set(ParameterType type, double normalized) {
        dsp.getParameterManager()->setDspValueDirectly(type, normalized);
    }
    Zelvar_Voice* play(int note, int velocity = 100) {
        dsp.getVoiceList()->noteOn(note, velocity);
        Zelvar_Voice* v = dsp.getVoiceList()->getFirstVoice();
        while (v->nextVoice != nullptr)
            v = v->nextVoice;
        return v;
    }
    Zelvar_Dsp dsp;
};

} // namespace

TEST_F(VoiceTest, NoteFrequencyFollowsNoteAndOctaveTranspose) {
    EXPECT_DOUBLE_EQ(play(69)->getNoteFrequency(), 440.0);
    EXPECT_NEAR(play(60)->getNoteFrequency(), 261.6256, 1e-4);
    set(ParameterTypeOctaveTranspose, 0.0); // -2 octaves
    EXPECT_DOUBLE_EQ(play(69)->getNoteFrequency(), 110.0);
    set(ParameterTypeOctaveTranspose, 0.75); // +1 octave
    EXPECT_DOUBLE_EQ(play(69)->getNoteFrequency(), 880.0);
    EXPECT_TRUE(std::isfinite(play(-40)->getNoteFrequency())) << "outside MIDI still plays";
    EXPECT_TRUE(std::isfinite(play(300)->getNoteFrequency()));
}

TEST_F(VoiceTest, VelocityGainComesFromTheTableAndOutOfRangeIsClamped) {
    EXPECT_EQ(play(60, 127)->getVelocityGain(), 1.0);
    EXPECT_EQ(play(61, 100)->getVelocityGain(), 0.2302526962);
    EXPECT_EQ(play(62, 0)->getVelocityGain(), 0.001);
    EXPECT_EQ(play(63, 500)->getVelocityGain(), 1.0);
    EXPECT_EQ(play(64, -9)->getVelocityGain(), 0.001);
}

TEST_F(VoiceTest, BendIsTwoSemitonesEachWay) {
    Zelvar_Voice* voice = play(69);
    set(ParameterTypePitchBend, 1.0);
    voice->getValue();
    EXPECT_NEAR(voice->getOscillatorFrequency(), 440.0 * 1.122462, 1e-3);
    set(ParameterTypePitchBend, 0.0);
    voice->getValue();
    EXPECT_NEAR(voice->getOscillatorFrequency(), 440.0 * 0.890899, 1e-3);
}

TEST_F(VoiceTest, GlideIsExponentialAndSnapsAtTheGlideTime) {
    dsp.getParameterManager()->setDspValue(ParameterTypePortamentoTime, 0.1);
    Zelvar_Voice* voice = play(69);
    voice->setPortamentoStartFrequency(220.0);
    for (int k = 0; k < 4410; ++k) {
        voice->getValue();
        ASSERT_NEAR(voice->getOscillatorFrequency(), 440.0 - 220.0 * std::exp(-10.0 * k / 4410.0),
                    1e-9)
            << "sample " << k;
    }
    voice->getValue();
    EXPECT_EQ(voice->getOscillatorFrequency(), 440.0);
}

TEST_F(VoiceTest, DamperHoldsAtNoteOffAndReleasesOnTheNextSampleWhenLifted) {
    Zelvar_Voice* voice = play(60);
    voice->noteOff(61);
    EXPECT_EQ(voice->getState(), EnvelopeStateNoteOn);
    set(ParameterTypeDamper, 1.0);
    voice->noteOff(60);
    EXPECT_EQ(voice->getState(), EnvelopeStateHold);
    voice->getValue();
    EXPECT_EQ(voice->getState(), EnvelopeStateHold);
    set(ParameterTypeDamper, 0.0);
    voice->getValue();
    EXPECT_EQ(voice->getState(), EnvelopeStateRelease);
}

TEST_F(VoiceTest, DamperAtExactlyOneHalfReleasesButDoesNotLift) {
    dsp.getParameterManager()->setDspValue(ParameterTypeDamper, 0.5);
    Zelvar_Voice* released = play(60);
    released->noteOff(60);
    EXPECT_EQ(released->getState(), EnvelopeStateRelease);
    Zelvar_Voice* held = play(62);
    dsp.getParameterManager()->setDspValue(ParameterTypeDamper, 1.0);
    held->noteOff(62);
    dsp.getParameterManager()->setDspValue(ParameterTypeDamper, 0.5);
    held->getValue();
    EXPECT_EQ(held->getState(), EnvelopeStateHold);
}

// Voices rendered as a group give the mix of the same voices rendered one after another: the
// oscillators, the filters two by two and the envelopes in one loop take each voice through the
// operations it would take alone, with knobs that move between runs and a note released.
TEST(VoiceGroup, GivesTheBitsOfItsVoicesOneAfterAnother) {
    for (int count = 1; count <= Zelvar_Voice::groupSize; ++count) {
        Zelvar_Dsp grouped, alone;
        for (Zelvar_Dsp* d : {&grouped, &alone}) {
            d->setBundleDirectoryPath(CORVENA_TEST_RESOURCES);
            d->initialize();
            d->getParameterManager()->setDspValueDirectly(ParameterTypeOscillatorWaveform, 0.4);
            for (int v = 0; v < count; ++v)
                d->getVoiceList()->noteOn(40 + 7 * v, 60 + 15 * v);
        }
        std::vector<Zelvar_IirLowPassFilter::GlideStep> steps[2];
        steps[0].resize(Zelvar_Voice::maximumRunFrames);
        steps[1].resize(Zelvar_Voice::maximumRunFrames);
        int frame = 0;
        for (int run = 0; run < 40; ++run) {
            const int n = 1 + (run * 29) % Zelvar_Voice::maximumRunFrames;
            for (Zelvar_Dsp* d : {&grouped, &alone}) {
                Zelvar_ParameterManager* knobs = d->getParameterManager();
                knobs->setDspValueDirectly(ParameterTypeLpfCutoffFrequency, 0.5 + 0.01 * (run % 7));
                knobs->setDspValueDirectly(ParameterTypeLpfResonance, run < 20 ? 0.3 : 0.6);
                knobs->setDspValueDirectly(ParameterTypeHpfCutoffFrequency, run < 10 ? 0.0 : 0.4);
                knobs->setDspValueDirectly(ParameterTypeVcaEgReleaseTime, 0.2);
                if (run == 25)
                    d->getVoiceList()->getFirstVoice()->noteOff(40);
            }
            std::vector<double> levels(size_t(n) * count);
            for (size_t k = 0; k < levels.size(); ++k)
                levels[k] = 0.6 + 0.3 * std::sin(0.003 * (frame * count + double(k)));
            std::vector<double> mix(n, 0.0), expected(n, 0.0);
            Zelvar_Voice* voices[Zelvar_Voice::groupSize];
            Zelvar_Voice* v = grouped.getVoiceList()->getFirstVoice();
            for (int k = 0; k < count; ++k, v = v->nextVoice)
                voices[k] = v;
            Zelvar_Voice::renderGroup(voices, count, mix.data(), n, levels.data(), count,
                                      steps[0].data());
            v = alone.getVoiceList()->getFirstVoice();
            for (int k = 0; k < count; ++k, v = v->nextVoice)
                v->render(expected.data(), n, levels.data() + k, count, steps[1].data());
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(mix[i], expected[i])
                    << count << " voices, run " << run << ", frame " << i;
            frame += n;
        }
    }
}
