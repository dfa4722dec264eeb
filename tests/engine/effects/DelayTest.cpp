#include "Zelvar_CircularBuffer.h"
#include "Zelvar_Delay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::vector<double> impulseResponse(Zelvar_Delay& delay, int samples) {
    std::vector<double> out;
    for (int i = 0; i < samples; ++i)
        out.push_back(delay.nextValue(i == 0 ? 1.0 : 0.0));
    return out;
}

} // namespace

TEST(Delay, MixZeroIsTheDryInput) {
    Zelvar_Delay delay;
    delay.initialize();
    delay.setDelayTime(0.2);
    delay.setFeedback(0.9);
    for (int i = 0; i < 20000; ++i) {
        const double x = (i % 7) * 0.1 - 0.3;
        ASSERT_EQ(delay.nextValue(x), x);
    }
}

TEST(Delay, EchoArrivesLengthMinusOneSamplesLaterAndDecaysByTheFeedback) {
    Zelvar_Delay delay;
    delay.initialize();
    delay.setDelayTime(0.01); // L = 441
    delay.setFeedback(0.5);
    delay.setMix(1.0);
    const std::vector<double> out = impulseResponse(delay, 2000);
    double expected = 1.0;
    for (int i = 0; i < 2000; ++i) {
        if (i > 0 && i % 440 == 0) {
            EXPECT_DOUBLE_EQ(out[i], expected) << "echo at " << i;
            expected *= 0.5;
        } else {
            EXPECT_EQ(out[i], 0.0) << "at " << i;
        }
    }
}

TEST(Delay, DefaultTimeGivesThe8819SampleEcho) {
    Zelvar_Delay delay;
    delay.initialize();
    delay.setDelayTime(0.2);
    delay.setMix(1.0);
    const std::vector<double> out = impulseResponse(delay, 9000);
    EXPECT_EQ(out[8818], 0.0);
    EXPECT_EQ(out[8819], 1.0);
}

TEST(Delay, SameTimeKeepsEchoesANewTimeClearsThem) {
    Zelvar_Delay delay;
    delay.initialize();
    delay.setDelayTime(0.01);
    delay.setMix(1.0);
    delay.nextValue(1.0);
    for (int i = 1; i < 100; ++i)
        delay.nextValue(0.0);
    delay.setDelayTime(0.01);
    double echo = 0.0;
    for (int i = 100; i <= 440; ++i)
        echo = delay.nextValue(0.0);
    EXPECT_EQ(echo, 1.0) << "an unchanged time leaves the line alone";

    delay.nextValue(1.0);
    delay.setDelayTime(0.02);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(delay.nextValue(0.0), 0.0) << "a new time silences echoes in flight";
}

TEST(Delay, FirstZeroTimeKeepsTheInitialLength) {
    Zelvar_Delay delay;
    delay.initialize();
    delay.setDelayTime(0.0);
    EXPECT_EQ(delay.getLength(), 1024);
}

TEST(Delay, TinyAndHugeTimesKeepEveryIndexInsideTheBuffer) {
    for (double seconds : {0.5 / 44100.0, 1.5 / 44100.0, 0.0, 11.0, 1e9, -3.0}) {
        Zelvar_Delay delay;
        delay.initialize();
        delay.setDelayTime(0.5);
        delay.setDelayTime(seconds);
        delay.setFeedback(0.5);
        delay.setMix(0.5);
        EXPECT_GE(delay.getLength(), 0);
        EXPECT_LE(delay.getLength(), 441000);
        // Run well past any length: under ASan/valgrind an overrun would show; here the output
        // must stay finite.
        for (int i = 0; i < 5000; ++i)
            ASSERT_TRUE(std::isfinite(delay.nextValue(i % 2 ? 1.0 : -1.0)));
    }
}

TEST(CircularBuffer, ReaderStartsHalfARingBehind) {
    Zelvar_CircularBuffer ring;
    ring.initialize(2048);
    for (int i = 0; i < 1023; ++i) {
        const st_double frame = ring.get();
        ASSERT_EQ(frame.left, 0.0);
        ASSERT_EQ(frame.right, 0.0);
    }
    EXPECT_EQ(ring.get().left, 0.0) << "frame 1024 is the last written; not handed out yet";
    ring.set({1.0, 2.0});
    const st_double preZeroed = ring.get();
    EXPECT_EQ(preZeroed.left, 0.0);
    EXPECT_EQ(ring.get().left, 0.0) << "the newest frame waits for a successor";
    ring.set({3.0, 4.0});
    const st_double first = ring.get();
    EXPECT_EQ(first.left, 1.0);
    EXPECT_EQ(first.right, 2.0);
}

TEST(CircularBuffer, FullRingDropsEmptyRingGivesSilence) {
    Zelvar_CircularBuffer ring;
    ring.initialize(4); // read 0, write 2: one free slot
    EXPECT_TRUE(ring.set({1.0, 1.0}));
    EXPECT_FALSE(ring.set({2.0, 2.0}));
    Zelvar_CircularBuffer empty;
    EXPECT_EQ(empty.get().left, 0.0);
    EXPECT_FALSE(empty.set({1.0, 1.0}));
}

// A run gives the time to every frame: a new time clears the line once, and a time that acts on
// every call (NaN) clears it on every frame, as frame by frame.
TEST(Delay, RunGivesTheBitsOfSingleFrames) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double seconds : {0.01, 0.0, nan}) {
        Zelvar_Delay single;
        Zelvar_Delay runs;
        for (Zelvar_Delay* d : {&single, &runs}) {
            d->initialize();
            d->setFeedback(0.7);
            d->setMix(0.5);
            d->setDelayTime(0.002);
        }
        std::vector<double> in(1000), out(1000);
        for (int i = 0; i < 1000; ++i)
            in[i] = std::sin(0.05 * i);
        runs.process(in.data(), out.data(), 300, 0.002);
        runs.process(in.data() + 300, out.data() + 300, 700, seconds);
        for (int i = 0; i < 1000; ++i) {
            single.setDelayTime(i < 300 ? 0.002 : seconds);
            const double y = single.nextValue(in[i]);
            ASSERT_EQ(std::memcmp(&out[i], &y, sizeof y), 0) << seconds << " s, frame " << i;
        }
    }
}

// A new time reads silence until the line has refilled, as a cleared line would, also when the
// time changes again within that stretch and when a line of 0 or 1 samples reads the entry past
// its end; reference: the same line cleared by hand.
TEST(Delay, NewTimeReadsSilenceUntilTheLineRefills) {
    Zelvar_Delay delay;
    delay.initialize();
    delay.setFeedback(0.9);
    delay.setMix(1.0);
    delay.setDelayTime(0.001); // 44 samples
    for (int i = 0; i < 500; ++i)
        delay.nextValue(1.0);
    delay.setDelayTime(0.002); // 88 samples: 87 reads of silence, then the first new input
    for (int i = 0; i < 87; ++i)
        ASSERT_EQ(delay.nextValue(0.25), 0.0) << i;
    EXPECT_EQ(delay.nextValue(0.0), 0.25);
    delay.setDelayTime(0.003);
    delay.nextValue(0.5); // entry 1 is still clear when the line shrinks to nothing
    delay.setDelayTime(0.0);
    EXPECT_EQ(delay.nextValue(0.0), 0.0);
}

// Against a plain line that clears its first `length` entries at every new time, with times
// changing at random, often within the refill, down to 0 and 1 samples.
TEST(Delay, MatchesALineClearedAtEveryNewTime) {
    struct ClearedLine {
        std::vector<double> buffer = std::vector<double>(441000, 0.0);
        int length = 1024, w = 0, r = 1;
        void setLength(int n) {
            length = n;
            std::fill(buffer.begin(), buffer.begin() + n, 0.0);
            w = 0;
            r = 1;
        }
        double next(double x, double feedback, double mix) {
            const double delayed = buffer[r];
            buffer[w] = x + feedback * delayed;
            w = w + 1 >= length ? 0 : w + 1;
            r = r + 1 >= length ? 0 : r + 1;
            return (1.0 - mix) * x + mix * delayed;
        }
    } reference;
    Zelvar_Delay delay;
    delay.initialize();
    delay.setFeedback(0.6);
    delay.setMix(0.5);
    double lastSeconds = 0.0;
    unsigned seed = 7;
    auto random = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    for (int i = 0; i < 200000; ++i) {
        if (random(100) == 0) {
            const double seconds = (random(4) == 0 ? random(3) : random(300)) / 44100.0;
            delay.setDelayTime(seconds);
            if (seconds != lastSeconds) // an unchanged time changes nothing
                reference.setLength(int(seconds * 44100.0));
            lastSeconds = seconds;
        }
        const double x = std::sin(0.01 * i);
        const double y = delay.nextValue(x);
        ASSERT_EQ(y, reference.next(x, 0.6, 0.5)) << "sample " << i;
    }
}
