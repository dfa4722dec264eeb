// The output's sample clock and what the reporter says, without a sound server: a unit driven by
// hand with the cycle times a device would give it, and a reporter watching such a unit.
#include "HostClock.h"
#include "OutputReporter.h"
#include "OutputUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t second = 1000000000ull;
constexpr uint64_t t0 = 5000 * second; // any host time well past zero

struct Stamps {
    std::vector<double> sampleTimes;
    std::vector<uint64_t> hostTimes;

    static OSStatus render(void* refCon, uint32_t*, const AudioTimeStamp* stamp, uint32_t, uint32_t,
                           AudioBufferList*) {
        auto* self = static_cast<Stamps*>(refCon);
        self->sampleTimes.push_back(stamp->mSampleTime);
        self->hostTimes.push_back(stamp->mHostTime);
        return 0;
    }
};

// A unit as a device plays it: following the host clock, with a callback recording stamps.
struct DeviceUnit {
    OutputUnit unit;
    Stamps stamps;
    std::vector<float> buffer = std::vector<float>(2 * 8192);

    DeviceUnit() {
        unit.followsHostClock = true;
        unit.callback = {&Stamps::render, &stamps};
    }
    // One buffer of `frames` whose cycle began `afterNs` after t0.
    void cycle(uint32_t frames, uint64_t afterNs) {
        unit.renderInterleaved(frames, buffer.data(), t0 + afterNs);
    }
};

uint64_t framesToNs(double frames) {
    return uint64_t(frames * 1e9 / 44100.0);
}

TEST(OutputClock, FirstBufferSetsSampleZeroAndLaterHostTimesMapOntoTheSampleClock) {
    DeviceUnit device;
    double sampleTime = -1.0;
    EXPECT_FALSE(device.unit.sampleTimeAt(t0, &sampleTime)) << "nothing played yet";
    device.cycle(256, 0);
    EXPECT_EQ(device.unit.hostTimeAtSampleZero.load(), t0);
    ASSERT_TRUE(device.unit.sampleTimeAt(t0 + second, &sampleTime));
    EXPECT_DOUBLE_EQ(sampleTime, 44100.0);
    EXPECT_FALSE(device.unit.sampleTimeAt(t0 - 1, &sampleTime)) << "before sample 0";
    EXPECT_EQ(device.unit.lastRenderHostTime.load(), t0);
}

TEST(OutputClock, BuffersOnTimeCountFramesWhateverTheirSize) {
    DeviceUnit device;
    double at = 0.0;
    for (uint32_t frames : {256u, 256u, 1024u, 235u, 236u, 4096u, 64u}) {
        device.cycle(frames, framesToNs(at));
        at += frames;
    }
    double expected = 0.0;
    const uint32_t sizes[] = {256, 256, 1024, 235, 236, 4096, 64};
    for (size_t i = 0; i < device.stamps.sampleTimes.size(); ++i) {
        EXPECT_EQ(device.stamps.sampleTimes[i], expected) << "buffer " << i;
        expected += sizes[i];
    }
    EXPECT_EQ(device.unit.skippedFrames.load(), 0u);
}

TEST(OutputClock, StretchTheDeviceSkippedIsCountedAsPlayed) {
    // The graph's first cycle, then a pause while it settles (seen: 21 ms), then cycles again:
    // the sample clock jumps to where the host clock says it is, so events posted afterwards
    // are due 1024 samples after their stamp and not 21 ms later still.
    DeviceUnit device;
    device.cycle(268, 0);
    device.cycle(235, 21333333);
    device.cycle(235, 21333333 + 5333333);
    ASSERT_EQ(device.stamps.sampleTimes.size(), 3u);
    EXPECT_NEAR(device.stamps.sampleTimes[1], 0.021333333 * 44100.0, 1.0);
    EXPECT_NEAR(device.stamps.sampleTimes[2], 0.026666666 * 44100.0, 1.0);
    EXPECT_GT(device.unit.skippedFrames.load(), 600u);
    // A server stalled for two seconds: the same.
    device.cycle(256, 2 * second);
    EXPECT_NEAR(device.stamps.sampleTimes[3], 2.0 * 44100.0, 1.0);
}

TEST(OutputClock, NeverJumpsBackwardsNorForAWakeUpThatIsMerelyLate) {
    // A device that asked for frames ahead of time (a prefill): the clock runs ahead and stays.
    DeviceUnit device;
    device.cycle(4096, 0);
    device.cycle(256, framesToNs(600));
    EXPECT_EQ(device.stamps.sampleTimes[1], 4096.0);

    // Without the system's cycle time, a callback late by a scheduling delay (15 ms) is not a
    // skipped stretch.
    DeviceUnit woken;
    woken.unit.renderInterleaved(256, woken.buffer.data());
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    woken.unit.renderInterleaved(256, woken.buffer.data());
    EXPECT_EQ(woken.stamps.sampleTimes[1], 256.0);
    EXPECT_GT(woken.stamps.hostTimes[1], woken.stamps.hostTimes[0] + 15000000u);
}

TEST(OutputClock, ManualUnitIsPulledAtItsOwnPaceAndNeverJumps) {
    DeviceUnit device;
    device.unit.followsHostClock = false;
    device.cycle(256, 0);
    device.cycle(256, 10 * second);
    EXPECT_EQ(device.stamps.sampleTimes[1], 256.0);
}

// ---- The reporter --------------------------------------------------------------------------

class Reporter : public ::testing::Test {
protected:
    // What the reporter printed within `milliseconds`.
    template <typename Action> std::string printedDuring(int milliseconds, Action action) {
        ::testing::internal::CaptureStderr();
        action();
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return ::testing::internal::GetCapturedStderr();
    }
    static size_t count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    OutputUnit unit;
    OutputReporter reporter{&unit, [] { return std::string("Test system, device \"dev\""); }};
};

TEST_F(Reporter, BufferTextGivesFramesAndMilliseconds) {
    EXPECT_EQ(OutputReporter::bufferText(256, 44100), "256-frame buffers (5.8 ms)");
    EXPECT_EQ(OutputReporter::bufferText(1024, 48000), "1024-frame buffers (21.3 ms)");
    EXPECT_EQ(OutputReporter::bufferText(0, 48000), "buffer size not known yet");
}

TEST_F(Reporter, SilenceOfTwoSecondsIsToldOnceAndSoIsItsEnd) {
    reporter.noteBufferSize(256, 44100);
    const std::string silent = printedDuring(2600, [&] { reporter.start(); });
    EXPECT_EQ(count(silent, "Corvena: no sound for 2 s: Test system, device \"dev\""), 1u)
        << silent;
    // Buffers again: once, whatever their number.
    const std::string back =
        printedDuring(400, [&] { unit.lastRenderHostTime.store(HostClock::nowNanoseconds()); });
    EXPECT_EQ(count(back, "Corvena: sound is back: Test system, device \"dev\""), 1u) << back;
    EXPECT_EQ(count(back, "no sound"), 0u) << back;
    reporter.stop();
}

TEST_F(Reporter, BufferSizeChangesAndTheFirstXrunAreToldOnceEach) {
    reporter.noteBufferSize(256, 44100);
    const std::string told = printedDuring(500, [&] {
        reporter.start();
        reporter.noteBufferSize(1024, 44100);
        for (int i = 0; i < 5; ++i)
            reporter.noteXrun();
    });
    reporter.stop();
    EXPECT_EQ(count(told, "Test system, device \"dev\" now runs 1024-frame buffers (23.2 ms)"), 1u)
        << told;
    EXPECT_EQ(count(told, "256-frame"), 0u) << "the size it started with is not news";
    EXPECT_EQ(count(told, "xrun on Test system"), 1u) << told;
    EXPECT_EQ(reporter.xrunCount(), 5u);
}

TEST_F(Reporter, StreamTheSystemEndedIsToldOnceWithTheFirstReasonAndIsNotCalledSilent) {
    const std::string told = printedDuring(2600, [&] {
        reporter.start();
        reporter.noteStopped("the JACK server went away");
        reporter.noteStopped("a later reason");
    });
    reporter.stop();
    EXPECT_EQ(count(told, "Corvena: audio output stopped: Test system, device \"dev\": the JACK "
                          "server went away"),
              1u)
        << told;
    EXPECT_EQ(count(told, "later reason"), 0u);
    EXPECT_EQ(count(told, "no sound"), 0u) << told;
    EXPECT_TRUE(reporter.stopped());
}

TEST_F(Reporter, StopOfARefusedStreamIsForgottenAndTheNextOneIsToldItsOwn) {
    reporter.noteStopped("the refused stream's error");
    reporter.clearStopped();
    EXPECT_FALSE(reporter.stopped());
    const std::string told = printedDuring(400, [&] {
        reporter.start();
        reporter.noteStopped("the server went away");
    });
    reporter.stop();
    EXPECT_EQ(count(told, "refused"), 0u) << told;
    EXPECT_EQ(count(told, "stopped: Test system, device \"dev\": the server went away"), 1u)
        << told;
}

TEST_F(Reporter, AnEndedStreamIsReopenedOnceASecondUntilItPlaysAndIsInterruptedMeanwhile) {
    std::atomic<int> attempts{0};
    std::atomic<uint64_t> firstAttempt{0}, lastAttempt{0};
    reporter.setReopen([&](std::string& playing) {
        const uint64_t now = HostClock::nowNanoseconds();
        if (attempts.fetch_add(1) == 0)
            firstAttempt.store(now);
        lastAttempt.store(now);
        playing = "Test system, device \"dev\" again";
        // Nothing answers twice; the third time, the new stream ends at once, then plays.
        return attempts.load() >= 3;
    });
    EXPECT_FALSE(reporter.interrupted());
    // Waits for the third attempt however slow the machine, then a little for the line.
    const std::string told = printedDuring(300, [&] {
        reporter.start();
        reporter.noteStopped("the server went away");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (attempts.load() < 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    EXPECT_EQ(attempts.load(), 3) << told;
    EXPECT_GE(lastAttempt.load() - firstAttempt.load(), 2 * OutputReporter::reopenNanoseconds);
    EXPECT_EQ(count(told, "stopped: Test system, device \"dev\": the server went away; trying "
                          "again every second"),
              1u)
        << told;
    EXPECT_EQ(count(told, "Corvena: sound is back: audio through Test system, device \"dev\" "
                          "again"),
              1u)
        << told;
    EXPECT_FALSE(reporter.interrupted());
    EXPECT_FALSE(reporter.stopped());
    // Back, it is watched as a new stream: a later end is told again.
    const std::string later =
        printedDuring(400, [&] { reporter.noteStopped("the server went away again"); });
    reporter.stop();
    EXPECT_EQ(count(later, "went away again"), 1u) << later;
    EXPECT_TRUE(reporter.interrupted());
}

TEST_F(Reporter, WithoutAWayToReopenAnEndedStreamStaysEnded) {
    const std::string told = printedDuring(1500, [&] {
        reporter.start();
        reporter.noteStopped("the server went away");
    });
    reporter.stop();
    EXPECT_EQ(count(told, "trying again"), 0u) << told;
    EXPECT_TRUE(reporter.interrupted());
}

} // namespace
