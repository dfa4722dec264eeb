// Ticks to samples: the default tempo, changes part way, several at one tick, the rounding of
// exact halves, time-code divisions, and exactness however many changes came before.
#include "TempoMap.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

MidiTimeDivision metrical(uint32_t ticksPerQuarter) {
    MidiTimeDivision division;
    division.ticksPerQuarter = ticksPerQuarter;
    return division;
}

MidiTimeDivision timeCode(uint32_t framesPerSecond, uint32_t ticksPerFrame) {
    MidiTimeDivision division;
    division.timeCode = true;
    division.framesPerSecond = framesPerSecond;
    division.ticksPerFrame = ticksPerFrame;
    return division;
}

TEST(TempoMapTest, WithoutTempoAQuarterNoteIsHalfASecond) {
    const TempoMap map(metrical(480), {});
    EXPECT_EQ(map.sampleAt(0), 0u);
    EXPECT_EQ(map.sampleAt(480), 22050u);
    EXPECT_EQ(map.sampleAt(960), 44100u);
    EXPECT_DOUBLE_EQ(map.secondsAt(960), 1.0);
}

TEST(TempoMapTest, ATempoChangeMovesOnlyWhatComesAfterIt) {
    // 120 beats per minute for two beats, then 240.
    const TempoMap map(metrical(480), {{0, 500000}, {960, 250000}});
    EXPECT_EQ(map.sampleAt(480), 22050u);
    EXPECT_EQ(map.sampleAt(960), 44100u);
    EXPECT_EQ(map.sampleAt(1440), 55125u);
    EXPECT_EQ(map.sampleAt(1920), 66150u);
    EXPECT_DOUBLE_EQ(map.secondsAt(1920), 1.5);
    // Of several changes at one tick the last one counts, also at tick 0.
    const TempoMap repeated(metrical(480), {{0, 100000}, {0, 500000}, {960, 1}, {960, 250000}});
    EXPECT_EQ(repeated.sampleAt(1920), 66150u);
}

TEST(TempoMapTest, ExactHalvesRoundUpAndNeighboursToTheNearest) {
    // One tick of 5000 µs is 220.5 samples.
    const TempoMap half(metrical(1), {{0, 5000}});
    EXPECT_EQ(half.sampleAt(1), 221u);
    EXPECT_EQ(half.sampleAt(2), 441u);
    EXPECT_EQ(half.sampleAt(3), 662u);                               // 661.5
    EXPECT_EQ(TempoMap(metrical(1), {{0, 4999}}).sampleAt(1), 220u); // 220.456
    EXPECT_EQ(TempoMap(metrical(1), {{0, 5001}}).sampleAt(1), 221u); // 220.544
    // 333 333 µs per quarter at 480 ticks: 14 699.985 samples per quarter.
    const TempoMap third(metrical(480), {{0, 333333}});
    EXPECT_EQ(third.sampleAt(480), 14700u);
    EXPECT_EQ(third.sampleAt(480 * 100), 1469999u); // 1 469 998.53
}

TEST(TempoMapTest, ManyChangesAddUpExactly) {
    // The same tempo restated on every tick must not drift: an hour of ticks at 96 per quarter.
    std::vector<MidiTempoChange> restated;
    const uint64_t hour = 96 * 2 * 3600;
    for (uint64_t tick = 0; tick < hour; tick += 7)
        restated.push_back({tick, 500000});
    const TempoMap plain(metrical(96), {});
    const TempoMap busy(metrical(96), restated);
    for (uint64_t tick : {uint64_t(1), uint64_t(12345), hour - 1, hour, hour + 77})
        EXPECT_EQ(busy.sampleAt(tick), plain.sampleAt(tick)) << tick;
    EXPECT_EQ(busy.sampleAt(hour), 3600u * 44100u);
}

TEST(TempoMapTest, TimeCodeIgnoresTempo) {
    // 25 frames of 40 ticks: a thousand ticks a second.
    const TempoMap map(timeCode(25, 40), {{0, 100000}, {10, 900000}});
    EXPECT_EQ(map.sampleAt(1000), 44100u);
    EXPECT_EQ(map.sampleAt(1), 44u);  // 44.1
    EXPECT_EQ(map.sampleAt(5), 221u); // 220.5
    // 29 means 30 drop-frame, 29.97 frames a second: 30 frames last 1.001 s.
    const TempoMap dropFrame(timeCode(29, 80), {});
    EXPECT_EQ(dropFrame.sampleAt(30 * 80), 44144u); // 44 144.1
    EXPECT_DOUBLE_EQ(dropFrame.secondsAt(30 * 80), 1.001);
    EXPECT_EQ(TempoMap(timeCode(24, 2), {}).sampleAt(48), 44100u);
    EXPECT_EQ(TempoMap(timeCode(30, 1), {}).sampleAt(30), 44100u);
}

TEST(TempoMapTest, AbsurdLengthsSaturateInsteadOfWrapping) {
    const uint64_t largest = std::numeric_limits<uint64_t>::max();
    const TempoMap slow(metrical(1), {{0, 0xFFFFFF}});
    EXPECT_EQ(slow.sampleAt(largest), largest);
    EXPECT_GT(slow.sampleAt(uint64_t(1) << 40), slow.sampleAt(uint64_t(1) << 39));
    // A tempo of zero stops time rather than dividing by it.
    const TempoMap stopped(metrical(96), {{96, 0}});
    EXPECT_EQ(stopped.sampleAt(96), 22050u);
    EXPECT_EQ(stopped.sampleAt(96000), 22050u);
}

} // namespace
