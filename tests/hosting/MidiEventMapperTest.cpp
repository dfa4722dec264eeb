// The MIDI mapping against a recording stand-in engine: which events each message becomes,
// with which values and stamps, and that everything else posts nothing.
#include "MidiEventMapper.h"
#include "FakeEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class MidiEventMapperTest : public ::testing::Test {
protected:
    int map(const Bytes& message, double sampleTime = 100.0) {
        return mapper.map(message.data(), message.size(), sampleTime);
    }

    FakeEngine engine;
    MidiEventMapper mapper{engine.handle()};
};

TEST_F(MidiEventMapperTest, NotesOnEverySixteenChannelsWithVelocityZeroAsNoteOff) {
    for (uint8_t channel = 0; channel < 16; ++channel) {
        engine.posted.clear();
        EXPECT_EQ(map({uint8_t(0x90 | channel), 60, 100}, 512.0), 1);
        EXPECT_EQ(map({uint8_t(0x80 | channel), 60, 64}, 513.0), 1);
        EXPECT_EQ(map({uint8_t(0x90 | channel), 61, 0}, 514.0), 1);
        ASSERT_EQ(engine.posted.size(), 3u) << "channel " << int(channel);
        EXPECT_EQ(engine.posted[0].subType, EventSubTypeNoteOn);
        EXPECT_EQ(engine.posted[0].value1, 60.0);
        EXPECT_EQ(engine.posted[0].value2, 100.0);
        EXPECT_EQ(engine.posted[0].sampleTime, 512.0);
        EXPECT_EQ(engine.posted[1].subType, EventSubTypeNoteOff);
        EXPECT_EQ(engine.posted[1].value1, 60.0);
        EXPECT_EQ(engine.posted[1].sampleTime, 513.0);
        EXPECT_EQ(engine.posted[2].subType, EventSubTypeNoteOff) << "velocity 0 ends the note";
        EXPECT_EQ(engine.posted[2].value1, 61.0);
    }
}

TEST_F(MidiEventMapperTest, HeldNotesFollowOnAndOffWhicheverChannelEndsThem) {
    map({0x90, 60, 100});
    map({0x95, 127, 1});
    EXPECT_TRUE(mapper.isNoteHeld(60));
    EXPECT_TRUE(mapper.isNoteHeld(127));
    EXPECT_FALSE(mapper.isNoteHeld(61));
    // The engine knows notes by number only, so any channel's note off ends the note.
    map({0x83, 60, 0});
    map({0x9F, 127, 0});
    EXPECT_FALSE(mapper.isNoteHeld(60));
    EXPECT_FALSE(mapper.isNoteHeld(127));
    EXPECT_FALSE(mapper.isNoteHeld(-1));
    EXPECT_FALSE(mapper.isNoteHeld(128));
}

TEST_F(MidiEventMapperTest, PitchBendReachesBothEndsAndCentresExactly) {
    const struct {
        uint8_t lsb, msb;
        double normalized;
    } cases[] = {
        {0x00, 0x40, 0.5},                     // 8192: no bend
        {0x00, 0x00, 0.0},                     // fully down
        {0x7F, 0x7F, 1.0},                     // 16383: fully up
        {0x00, 0x20, 0.25},                    // 4096: half way down
        {0x7F, 0x5F, 0.5 + 0.5 * 4095 / 8191}, // 12287: the upper half spans 8191 steps
        {0x01, 0x00, 0.5 / 8192},              // the low byte comes first
    };
    for (const auto& c : cases) {
        engine.posted.clear();
        EXPECT_EQ(map({0xE7, c.lsb, c.msb}, 300.0), 1);
        ASSERT_EQ(engine.posted.size(), 1u);
        EXPECT_EQ(engine.posted[0].subType, EventSubTypeParameter);
        EXPECT_EQ(engine.posted[0].type, ParameterTypePitchBend);
        EXPECT_DOUBLE_EQ(engine.posted[0].value1, c.normalized) << int(c.lsb) << " " << int(c.msb);
        EXPECT_EQ(engine.posted[0].sampleTime, 300.0);
    }
}

TEST_F(MidiEventMapperTest, SustainPedalDrivesTheDamperFrom64) {
    const struct {
        uint8_t value;
        double damper;
    } cases[] = {{127, 1.0}, {64, 1.0}, {63, 0.0}, {0, 0.0}};
    for (const auto& c : cases) {
        engine.posted.clear();
        EXPECT_EQ(map({0xBF, 64, c.value}), 1);
        ASSERT_EQ(engine.posted.size(), 1u);
        EXPECT_EQ(engine.posted[0].type, ParameterTypeDamper);
        EXPECT_EQ(engine.posted[0].value1, c.damper) << int(c.value);
    }
}

TEST_F(MidiEventMapperTest, AllNotesOffAndAllSoundOffLiftThePedalThenEndEveryHeldNote) {
    for (uint8_t controller : {uint8_t(123), uint8_t(120)}) {
        map({0x90, 60, 100});
        map({0x94, 64, 90});
        map({0x90, 67, 80});
        map({0x80, 67, 0});
        engine.posted.clear();
        EXPECT_EQ(map({0xB2, controller, 0}, 777.0), 3);
        ASSERT_EQ(engine.posted.size(), 3u);
        EXPECT_EQ(engine.posted[0].type, ParameterTypeDamper);
        EXPECT_EQ(engine.posted[0].value1, 0.0);
        EXPECT_EQ(engine.posted[1].subType, EventSubTypeNoteOff);
        EXPECT_EQ(engine.posted[1].value1, 60.0);
        EXPECT_EQ(engine.posted[2].subType, EventSubTypeNoteOff);
        EXPECT_EQ(engine.posted[2].value1, 64.0);
        for (const PostedEvent& event : engine.posted)
            EXPECT_EQ(event.sampleTime, 777.0);
        EXPECT_FALSE(mapper.isNoteHeld(60));
        EXPECT_FALSE(mapper.isNoteHeld(64));
        // Nothing left to end: only the pedal.
        engine.posted.clear();
        EXPECT_EQ(map({0xB0, controller, 0}), 1);
        EXPECT_EQ(mapper.releaseAll(800.0), 1);
    }
}

TEST_F(MidiEventMapperTest, EverythingElseIsIgnoredSafely) {
    const Bytes ignored[] = {
        {0xB0, 1, 64},         // modulation wheel
        {0xB0, 7, 100},        // volume
        {0xB0, 121, 0},        // reset all controllers
        {0xC0, 5},             // program change
        {0xD0, 90},            // channel pressure
        {0xA0, 60, 90},        // polyphonic key pressure
        {0xF0, 0x7E, 0xF7},    // system exclusive
        {0xF8},                // clock
        {0xFF},                // reset
        {60, 100},             // running status: data bytes without a status byte
        {0x3C, 60, 100},       // a data byte where the status should be
        {0x90, 0x80, 100},     // data byte >= 0x80
        {0x90, 60, 0xFF},      // data byte >= 0x80
        {0xE0, 0x80, 0x40},    // data byte >= 0x80
        {0x90, 60},            // short note on
        {0x90},                // status alone
        {0x90, 60, 100, 0x80}, // one byte too many
        {},                    // nothing
    };
    for (const Bytes& message : ignored)
        EXPECT_EQ(map(message), 0)
            << message.size() << " bytes from " << int(message.empty() ? 0 : message[0]);
    EXPECT_EQ(mapper.map(nullptr, 3, 0.0), 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double stamp : {-1.0, nan, infinity, -infinity})
        EXPECT_EQ(map({0x90, 60, 100}, stamp), 0) << stamp;
    EXPECT_EQ(mapper.releaseAll(nan), 0);
    EXPECT_TRUE(engine.posted.empty());
    EXPECT_FALSE(mapper.isNoteHeld(60));
}

} // namespace
