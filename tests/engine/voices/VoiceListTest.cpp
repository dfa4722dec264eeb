// Voice allocation: list order after every move, counting, stealing, legato, damper.
#include "Corvena_Core.h"
#include "Zelvar_Dsp.h"
#include "Zelvar_EnvelopeGenerator.h"
#include "Zelvar_Voice.h"
#include "Zelvar_VoiceList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class VoiceListTest : public ::testing::Test {
protected:
    void SetUp() override {
        dsp.setBundleDirectoryPath(CORVENA_TEST_RESOURCES);
        dsp.initialize();
        list = dsp.getVoiceList();
    }
    void set(ParameterType type, double normalized) {
        dsp.getParameterManager()->setDspValueDirectly(type, normalized);
    }
    // Note numbers from the front, checking both links of every voice on the way.
    std::vector<int> order() {
        std::vector<int> notes;
        Zelvar_Voice* previous = nullptr;
        for (Zelvar_Voice* v = list->getFirstVoice(); v != nullptr; v = v->nextVoice) {
            EXPECT_EQ(v->previousVoice, previous)
                << "broken back link at note " << v->getNoteNumber();
            notes.push_back(v->getNoteNumber());
            previous = v;
        }
        return notes;
    }
    std::vector<int> states() {
        std::vector<int> result;
        for (Zelvar_Voice* v = list->getFirstVoice(); v != nullptr; v = v->nextVoice)
            result.push_back(v->getState());
        return result;
    }
    void frames(int n) {
        double l, r;
        for (int i = 0; i < n; ++i) {
            list->update();
            list->getStereoValue(&l, &r);
        }
    }

    Zelvar_Dsp dsp;
    Zelvar_VoiceList* list = nullptr;
};

} // namespace

TEST_F(VoiceListTest, NinthNoteFadesTheFrontVoiceAndJoinsAtTheEnd) {
    for (int n = 60; n < 68; ++n)
        list->noteOn(n, 100);
    EXPECT_EQ(list->getCurrentVoiceCount(), 8);
    list->noteOn(68, 100);
    EXPECT_EQ(list->getCurrentVoiceCount(), 8) << "stealing leaves the count unchanged";
    EXPECT_EQ(order(), (std::vector<int>{60, 61, 62, 63, 64, 65, 66, 67, 68}));
    EXPECT_EQ(list->getFirstVoice()->getState(), EnvelopeStateFadeOut);
    list->update();
    EXPECT_EQ(list->getCurrentVoiceCount(), 8) << "the fading voice is not counted";

    list->noteOn(69, 100); // the next steal passes over the fading voice
    EXPECT_EQ(order(), (std::vector<int>{61, 60, 62, 63, 64, 65, 66, 67, 68, 69}));
    frames(102); // 101 fade samples, then the update that removes them
    EXPECT_EQ(order(), (std::vector<int>{62, 63, 64, 65, 66, 67, 68, 69}))
        << "faded voices are removed after their fade";
}

TEST_F(VoiceListTest, ReleasedVoicesGatherAheadOfHeldOnes) {
    for (int n : {60, 61, 62, 63})
        list->noteOn(n, 100);
    list->noteOff(62);
    EXPECT_EQ(order(), (std::vector<int>{62, 60, 61, 63}));
    list->noteOff(63);
    EXPECT_EQ(order(), (std::vector<int>{62, 63, 60, 61}));
    list->noteOff(61);
    // 61 is last; the first held voice is 60.
    EXPECT_EQ(order(), (std::vector<int>{62, 63, 61, 60}));
}

TEST_F(VoiceListTest, VoiceWhoseOnlyHeldPeerIsItsSuccessorStaysPut) {
    for (int n : {60, 61, 62})
        list->noteOn(n, 100);
    list->noteOff(60); // X released, Y held, Z held
    EXPECT_EQ(order(), (std::vector<int>{60, 61, 62}));
    list->noteOff(61);
    EXPECT_EQ(order(), (std::vector<int>{60, 61, 62}));
}

TEST_F(VoiceListTest, NoteOffForAnUnheldNoteChangesNothing) {
    list->noteOn(60, 100);
    list->noteOff(61);
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateNoteOn}));
}

TEST_F(VoiceListTest, LegatoIsOneVoiceReturningToTheNewestHeldKey) {
    set(ParameterTypeLegato, 1.0);
    list->noteOn(60, 100);
    list->update();
    list->noteOn(64, 100);
    EXPECT_EQ(order(), (std::vector<int>{64})) << "the same voice glides to the new key";
    list->noteOff(64);
    EXPECT_EQ(order(), (std::vector<int>{60}));
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateNoteOn}));
    list->noteOff(60);
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateRelease}));
}

TEST_F(VoiceListTest, LegatoReleasingAnOlderKeyRestartsTheGlideTowardTheNewest) {
    set(ParameterTypeLegato, 1.0);
    set(ParameterTypePortamentoTime, 0.5);
    list->noteOn(60, 100);
    list->update();
    list->noteOn(67, 100);
    frames(100);
    list->noteOff(60);
    EXPECT_EQ(order(), (std::vector<int>{67}));
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateNoteOn}));
}

TEST_F(VoiceListTest, LegatoWithNoCountedVoiceStartsANormalOne) {
    set(ParameterTypeLegato, 1.0);
    list->noteOn(60, 100);
    list->noteOff(60);
    frames(44100); // release to the end
    EXPECT_EQ(list->getFirstVoice(), nullptr);
    list->noteOn(62, 100);
    EXPECT_EQ(order(), (std::vector<int>{62}));
    EXPECT_EQ(list->getCurrentVoiceCount(), 1);
}

TEST_F(VoiceListTest, LegatoFadesOutEveryOtherVoice) {
    list->noteOn(60, 100);
    list->noteOn(64, 100);
    list->noteOn(67, 100);
    set(ParameterTypeLegato, 1.0);
    list->noteOn(72, 100);
    EXPECT_EQ(order(), (std::vector<int>{67, 64, 72}));
    EXPECT_EQ(states(),
              (std::vector<int>{EnvelopeStateFadeOut, EnvelopeStateFadeOut, EnvelopeStateNoteOn}));
}

TEST_F(VoiceListTest, DamperHoldsThroughAllNoteOffAndReleasesWhenLifted) {
    set(ParameterTypeDamper, 1.0);
    list->noteOn(60, 100);
    list->noteOff(60);
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateHold}));
    list->update();
    EXPECT_EQ(list->getCurrentVoiceCount(), 1) << "a held voice still counts";
    list->allNoteOff();
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateHold}));
    set(ParameterTypeDamper, 0.0);
    frames(1);
    EXPECT_EQ(states(), (std::vector<int>{EnvelopeStateRelease}));
}

TEST_F(VoiceListTest, AllNoteOffReleasesEveryHeldVoiceWhateverTheNote) {
    for (int n : {60, 61, 62})
        list->noteOn(n, 100);
    list->allNoteOff();
    EXPECT_EQ(states(),
              (std::vector<int>{EnvelopeStateRelease, EnvelopeStateRelease, EnvelopeStateRelease}));
}

TEST_F(VoiceListTest, GlideStartsAtTheLastVoicesFrequency) {
    EXPECT_EQ(list->getPortamentoStartFrequency(), 1000.0) << "before any note";
    list->noteOn(69, 100);
    frames(1);
    EXPECT_DOUBLE_EQ(list->getPortamentoStartFrequency(), 440.0);
}

TEST_F(VoiceListTest, HardStealingRetriggersTheFrontVoiceAndMovesItToTheEnd) {
    for (int n : {60, 61, 62})
        list->noteOn(n, 100);
    list->hardStealNoteOn(70, 100);
    EXPECT_EQ(order(), (std::vector<int>{61, 62, 70}));
}
