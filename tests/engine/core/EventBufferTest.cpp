#include "DspEventBuilder.h"
#include "Zelvar_EventBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

DspEvent makeEvent(double sampleTime, double value1, EventType type = EventTypeSynth) {
    AudioTimeStamp stamp{};
    stamp.mSampleTime = sampleTime;
    return makeDspEvent(stamp, type, EventSubTypeNoteOn, ParameterTypeNone, value1, 0.0, 0.0);
}

} // namespace

TEST(EventBuffer, FreshBufferHandsOutNothing) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(10000);
    DspEvent out;
    for (uint64_t t : {uint64_t(0), uint64_t(1024), uint64_t(1000000), UINT64_MAX})
        EXPECT_FALSE(buffer.getEvent(t, &out));
    EXPECT_EQ(buffer.get().eventType, EventTypeNone);
}

TEST(EventBuffer, EventIsDueExactly1024SamplesAfterItsStamp) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(10000);
    buffer.set(makeEvent(1000, 60));
    DspEvent out;
    EXPECT_FALSE(buffer.getEvent(2023, &out));
    ASSERT_TRUE(buffer.getEvent(2024, &out));
    EXPECT_EQ(out.value1, 60);
    EXPECT_FALSE(buffer.getEvent(2024, &out));
}

TEST(EventBuffer, ArrivalOrderHoldsEvenWhenALaterStampLeads) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(10000);
    buffer.set(makeEvent(5000, 1));
    buffer.set(makeEvent(0, 2));
    DspEvent out;
    EXPECT_FALSE(buffer.getEvent(2000, &out));
    ASSERT_TRUE(buffer.getEvent(6024, &out));
    EXPECT_EQ(out.value1, 1);
    ASSERT_TRUE(buffer.getEvent(6024, &out));
    EXPECT_EQ(out.value1, 2);
    EXPECT_FALSE(buffer.getEvent(6024, &out));
}

TEST(EventBuffer, HoldsCapacityMinusTwoPlusThePendingOne) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(10000);
    for (int i = 0; i < 9998; ++i)
        EXPECT_TRUE(buffer.set(makeEvent(0, i)));
    EXPECT_FALSE(buffer.set(makeEvent(0, -1))) << "the 9999th event is dropped";

    // Moving the oldest event into the pending slot frees one place in the ring.
    DspEvent out;
    EXPECT_FALSE(buffer.getEvent(0, &out));
    EXPECT_TRUE(buffer.set(makeEvent(0, 9998)));
    EXPECT_FALSE(buffer.set(makeEvent(0, -1)));

    for (int i = 0; i <= 9998; ++i) {
        ASSERT_TRUE(buffer.getEvent(1024, &out));
        ASSERT_EQ(out.value1, i);
    }
    EXPECT_FALSE(buffer.getEvent(1024, &out));
}

TEST(EventBuffer, NoneEventAtTheHeadIsSkippedNotDispatched) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(16);
    buffer.set(makeEvent(0, 1, EventTypeNone));
    buffer.set(makeEvent(0, 2));
    DspEvent out;
    EXPECT_FALSE(buffer.getEvent(1024, &out)) << "the none event counts as no event";
    ASSERT_TRUE(buffer.getEvent(1024, &out));
    EXPECT_EQ(out.value1, 2);
}

TEST(EventBuffer, GarbageStampsNeitherCrashNorWrap) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(16);
    buffer.set(makeEvent(-5000.0, 1));
    buffer.set(makeEvent(std::nan(""), 2));
    buffer.set(makeEvent(1e300, 3));
    DspEvent out;
    ASSERT_TRUE(buffer.getEvent(0, &out));
    EXPECT_EQ(out.value1, 1);
    ASSERT_TRUE(buffer.getEvent(0, &out));
    EXPECT_EQ(out.value1, 2);
    EXPECT_FALSE(buffer.getEvent(UINT64_MAX - 1, &out));
    EXPECT_TRUE(buffer.getEvent(UINT64_MAX, &out));
}

TEST(EventBuffer, UninitialisedBufferRefusesEverything) {
    Zelvar_EventBuffer buffer;
    DspEvent out;
    EXPECT_FALSE(buffer.set(makeEvent(0, 1)));
    EXPECT_FALSE(buffer.getEvent(5000, &out));
    EXPECT_FALSE(buffer.getEvent(UINT64_MAX, &out));
    EXPECT_EQ(buffer.nextDueTime(), UINT64_MAX);
    EXPECT_EQ(buffer.pointNormalize(7), 0);
}

TEST(EventBuffer, PointNormalizeKeepsTheSignOfTheIndex) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(10);
    EXPECT_EQ(buffer.pointNormalize(13), 3);
    EXPECT_EQ(buffer.pointNormalize(-13), -3);
}

// Two threads post while a third drains, as the main and MIDI threads do against the audio
// thread. Every event must arrive once, whole, and in each producer's own order.
TEST(EventBufferThreads, TwoProducersOneConsumerLoseAndTearNothing) {
    Zelvar_EventBuffer buffer;
    buffer.initialize(64); // small, so the ring is full often
    constexpr int perProducer = 200000;
    std::atomic<bool> go{false};
    auto producer = [&](int id) {
        while (!go.load())
            std::this_thread::yield();
        for (int i = 0; i < perProducer; ++i) {
            DspEvent event = makeEvent(0, id);
            event.value2 = i;
            event.value3 = id * 1e9 + i; // a torn record would not match value1/value2
            event.eventId = i;
            event.tick = id;
            while (!buffer.set(event))
                std::this_thread::yield();
        }
    };
    std::thread a(producer, 0), b(producer, 1);
    go = true;
    int next[2] = {0, 0};
    int received = 0;
    DspEvent out;
    while (received < 2 * perProducer) {
        if (!buffer.getEvent(1024, &out))
            continue;
        const int id = int(out.value1);
        ASSERT_TRUE(id == 0 || id == 1);
        ASSERT_EQ(out.tick, id);
        ASSERT_EQ(out.value2, next[id]) << "producer " << id << " lost or reordered an event";
        ASSERT_EQ(out.eventId, next[id]);
        ASSERT_EQ(out.value3, id * 1e9 + next[id]);
        ++next[id];
        ++received;
    }
    a.join();
    b.join();
    EXPECT_FALSE(buffer.getEvent(1024, &out));
}
