// The lock-free ring between JACK's process callback and the MIDI thread: records come out
// whole and in order, a record that does not fit is refused whole, and across two threads
// nothing is lost, duplicated or torn.
#include "MidiByteRing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(MidiByteRing, RecordsComeOutWholeAndInOrderAcrossTheWrap) {
    MidiByteRing ring(64);
    ASSERT_EQ(ring.capacity(), 64u);
    std::uint8_t out[32];
    MidiByteRing::Record record;
    for (int round = 0; round < 50; ++round) {
        const std::uint8_t a[] = {0x90, static_cast<std::uint8_t>(round), 0x64};
        const std::uint8_t b[] = {0xF8};
        ASSERT_TRUE(ring.push(1, 100 + round, a, 3));
        ASSERT_TRUE(ring.push(2, 200 + round, b, 1));
        ASSERT_TRUE(ring.pop(&record, out, sizeof out));
        EXPECT_EQ(record.port, 1);
        EXPECT_EQ(record.timeStamp, 100u + round);
        ASSERT_EQ(record.length, 3u);
        EXPECT_EQ(out[1], round);
        ASSERT_TRUE(ring.pop(&record, out, sizeof out));
        EXPECT_EQ(record.port, 2);
        EXPECT_EQ(out[0], 0xF8);
        EXPECT_TRUE(ring.isEmpty());
    }
    EXPECT_FALSE(ring.pop(&record, out, sizeof out));
}

TEST(MidiByteRing, FullRingRefusesARecordWhole) {
    MidiByteRing ring(64);
    const std::uint8_t data[20] = {};
    int stored = 0;
    while (ring.push(0, 0, data, sizeof data))
        ++stored;
    EXPECT_EQ(stored, 2) << "31 bytes per record in 64";
    const std::uint8_t one = 0xFE;
    EXPECT_FALSE(ring.push(0, 0, &one, 1)) << "2 bytes free, a record needs 12";
    std::uint8_t out[8];
    MidiByteRing::Record record;
    ASSERT_TRUE(ring.pop(&record, out, sizeof out));
    EXPECT_EQ(record.length, 20u) << "too long for the reader's buffer: reported, skipped";
    ASSERT_TRUE(ring.pop(&record, out, sizeof out));
    EXPECT_FALSE(ring.pop(&record, out, sizeof out));
}

TEST(MidiByteRingThreads, WriterAndReaderOnTwoThreadsLoseAndTearNothing) {
    MidiByteRing ring(256);
    constexpr int count = 200000;
    std::thread writer([&] {
        for (int i = 0; i < count;) {
            const std::uint8_t length = static_cast<std::uint8_t>(1 + i % 7);
            std::uint8_t data[8];
            for (int k = 0; k < length; ++k)
                data[k] = static_cast<std::uint8_t>(i + k);
            if (ring.push(static_cast<std::uint8_t>(i % 5), static_cast<std::uint64_t>(i), data,
                          length))
                ++i;
            else
                std::this_thread::yield();
        }
    });
    int next = 0;
    bool intact = true;
    std::uint8_t out[8];
    MidiByteRing::Record record;
    while (next < count) {
        if (!ring.pop(&record, out, sizeof out)) {
            std::this_thread::yield();
            continue;
        }
        intact &= record.timeStamp == static_cast<std::uint64_t>(next) && record.port == next % 5 &&
                  record.length == 1 + next % 7;
        for (int k = 0; k < record.length; ++k)
            intact &= out[k] == static_cast<std::uint8_t>(next + k);
        ++next;
    }
    writer.join();
    EXPECT_TRUE(intact);
    EXPECT_TRUE(ring.isEmpty());
}
