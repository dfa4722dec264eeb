// What the renderer says before anyone listens: notes that take a sounding voice, drum-channel
// notes, and the channels a render keeps.
#include "NoteCensus.h"
#include "ChannelSelection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Score {
    RenderPlan plan;
    uint64_t sample = 0;
    Score& send(uint8_t status, uint8_t data1, uint8_t data2) {
        plan.messages.push_back({sample++, 3, {status, data1, data2}});
        return *this;
    }
    Score& on(int note, int channel = 1) {
        return send(uint8_t(0x8f + channel), uint8_t(note), 100);
    }
    Score& off(int note) { return send(0x80, uint8_t(note), 0); }
    Score& pedal(bool down) { return send(0xb0, 64, down ? 127 : 0); }
};

TEST(NoteCensusTest, CountsNotesStartedWhileEightAreHeldByKeyOrPedal) {
    Score score;
    for (int note = 60; note < 68; ++note)
        score.on(note);
    score.on(60);                 // already sounding: takes its own voice back
    score.on(70).on(71);          // two past the eight
    score.off(70).off(71).on(72); // eight held again: one more
    EXPECT_EQ(NoteCensus::of(score.plan, false).notesPastPolyphony, 3u);
    EXPECT_EQ(NoteCensus::of(score.plan, true).notesPastPolyphony, 0u) << "legato plays one voice";

    Score pedalled;
    pedalled.pedal(true);
    for (int note = 40; note < 48; ++note)
        pedalled.on(note).off(note);
    pedalled.on(50); // the pedal still holds eight
    pedalled.pedal(false).on(51).on(52);
    EXPECT_EQ(NoteCensus::of(pedalled.plan, false).notesPastPolyphony, 1u);

    Score velocityZero; // a note on at velocity 0 is a note off
    for (int note = 60; note < 68; ++note)
        velocityZero.on(note).send(0x90, uint8_t(note), 0);
    velocityZero.on(70);
    EXPECT_EQ(NoteCensus::of(velocityZero.plan, false).notesPastPolyphony, 0u);
}

TEST(NoteCensusTest, NotesOnChannelTenAreCountedAndCanBeLeftOut) {
    Score score;
    score.on(36, 10).on(38, 10).on(69, 1).off(69);
    EXPECT_EQ(NoteCensus::of(score.plan, false).drumChannelNotes, 2u);

    ChannelSelection selection;
    std::string error;
    ASSERT_TRUE(selection.parse("1-9,11-16", error)) << error;
    EXPECT_FALSE(selection.plays(10));
    EXPECT_TRUE(selection.plays(1) && selection.plays(9) && selection.plays(11) &&
                selection.plays(16));
    selection.apply(score.plan);
    ASSERT_EQ(score.plan.messages.size(), 2u);
    EXPECT_EQ(NoteCensus::of(score.plan, false).drumChannelNotes, 0u);

    ASSERT_TRUE(selection.parse("10", error));
    EXPECT_TRUE(selection.plays(10));
    EXPECT_FALSE(selection.plays(1));
    for (const char* bad : {"", "0", "17", "3-1", "1,,2", "1-", "a", "1-16,"}) {
        EXPECT_FALSE(selection.parse(bad, error)) << bad;
        EXPECT_NE(error.find("--channels takes channel numbers 1 to 16"), std::string::npos);
    }
    EXPECT_TRUE(selection.plays(10)) << "a refused list leaves the selection as it was";
}

} // namespace
