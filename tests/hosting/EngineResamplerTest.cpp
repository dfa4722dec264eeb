// Rate conversion and the sample clock against a stand-in engine whose output the test chooses:
// pass-through is bit-exact, every rate keeps pitch and level, an event stamped for a host frame
// sounds there after the reported latency whatever the block sizes, and rendering allocates
// nothing.
#include "EngineResampler.h"
#include "AllocationCounter.h"
#include "FakeEngine.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

const double convertedRates[] = {22050.0, 32000.0, 48000.0, 88200.0, 96000.0, 192000.0};

struct Recording {
    std::vector<float> left, right;
};

// Renders `frames` host frames in blocks whose sizes cycle through `blocks`; before the block
// that holds each of `noteFrames`, posts a note on stamped for that frame, as a host does.
Recording render(EngineResampler& resampler, size_t frames, const std::vector<uint32_t>& blocks,
                 FakeEngine* engine = nullptr, const std::vector<uint64_t>& noteFrames = {}) {
    Recording out;
    out.left.resize(frames);
    out.right.resize(frames);
    size_t done = 0;
    for (size_t b = 0; done < frames; ++b) {
        const auto n = uint32_t(std::min<size_t>(blocks[b % blocks.size()], frames - done));
        for (uint64_t frame : noteFrames) {
            if (frame >= done && frame < done + n) {
                AudioTimeStamp stamp{};
                stamp.mSampleTime = resampler.stampForHostFrame(frame - done);
                DspSetEventWithTimeStamp(engine->handle(), stamp, EventSubTypeNoteOn,
                                         ParameterTypeNone, 60, 100, 0);
            }
        }
        resampler.render(out.left.data() + done, out.right.data() + done, n);
        done += n;
    }
    return out;
}

double ramp(uint64_t n) {
    return double(n % 1000) / 1000.0;
}

TEST(EngineResamplerTest, AtTheEnginesRatePassesItsOutputThroughBitExactWithoutLatency) {
    FakeEngine engine;
    engine.signal = ramp;
    EngineResampler resampler(engine.handle(), 44100.0);
    ASSERT_TRUE(resampler.isReady());
    EXPECT_TRUE(resampler.isPassThrough());
    EXPECT_EQ(resampler.getLatencyFrames(), 0u);
    EXPECT_EQ(resampler.stampForHostFrame(0), 0.0);

    const std::vector<uint32_t> blocks = {1, 7, 256, 5000, 8192, 20000};
    const Recording out = render(resampler, 80000, blocks);
    size_t wrong = 0;
    for (size_t n = 0; n < out.left.size(); ++n)
        if (out.left[n] != float(ramp(n)) || out.right[n] != -float(ramp(n)))
            ++wrong;
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(resampler.getHostFramesRendered(), 80000u);
    EXPECT_EQ(resampler.getEngineFramesRendered(), 80000u);
    EXPECT_EQ(resampler.stampForHostFrame(5), 80005.0);

    // The engine's clock starts at 1024, so that a stamp of 0 is due on the very first frame,
    // and runs on without a gap.
    ASSERT_FALSE(engine.renderStartTimes.empty());
    EXPECT_EQ(engine.renderStartTimes[0], 1024.0);
    for (size_t i = 1; i < engine.renderStartTimes.size(); ++i)
        ASSERT_EQ(engine.renderStartTimes[i],
                  engine.renderStartTimes[i - 1] + engine.renderFrameCounts[i - 1]);
}

TEST(EngineResamplerTest, ADroppedChannelIsStillRenderedAndTheClockRunsOn) {
    for (double rate : {44100.0, 48000.0}) {
        FakeEngine engine;
        engine.signal = ramp;
        EngineResampler resampler(engine.handle(), rate);
        std::vector<float> left(512), right(512);
        resampler.render(left.data(), nullptr, 512);
        resampler.render(nullptr, right.data(), 512);
        resampler.render(nullptr, nullptr, 512);
        EXPECT_EQ(resampler.getHostFramesRendered(), 1536u);
        if (rate == 44100.0) {
            EXPECT_EQ(left[511], float(ramp(511)));
            EXPECT_EQ(right[0], -float(ramp(512)));
        }
        resampler.render(left.data(), right.data(), 0);
        EXPECT_EQ(resampler.getHostFramesRendered(), 1536u);
    }
}

TEST(EngineResamplerTest, EveryRateKeepsPitchAndLevelAndKeepsOutWhatItCannotCarry) {
    for (double rate : convertedRates) {
        FakeEngine engine;
        engine.recordRenders = false;
        engine.signal = [](uint64_t n) {
            return 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * double(n) / 44100.0);
        };
        EngineResampler resampler(engine.handle(), rate);
        ASSERT_TRUE(resampler.isReady()) << rate;
        EXPECT_FALSE(resampler.isPassThrough());
        const auto frames = size_t(rate);
        const Recording out = render(resampler, frames, {256});
        const size_t from = frames / 4;
        EXPECT_NEAR(analysis::frequencyByZeroCrossings(out.left, from, frames, rate), 1000.0, 0.01)
            << rate;
        EXPECT_NEAR(analysis::amplitudeAt(out.left, from, frames, 1000.0, rate), 0.5, 0.0005)
            << rate;
        EXPECT_NEAR(analysis::amplitudeAt(out.right, from, frames, 1000.0, rate), 0.5, 0.0005);
        RecordProperty("latency_frames_at_" + std::to_string(int(rate)),
                       std::to_string(resampler.getLatencyFrames()));
        // A few milliseconds at most: the converter reads little ahead.
        EXPECT_LT(resampler.getLatencyFrames() / rate, 0.003) << rate;
    }

    // 15 kHz has no place at 22.05 kHz: it must not fold back as 7.05 kHz.
    FakeEngine engine;
    engine.signal = [](uint64_t n) {
        return 0.5 * std::sin(2.0 * std::numbers::pi * 15000.0 * double(n) / 44100.0);
    };
    engine.recordRenders = false;
    EngineResampler resampler(engine.handle(), 22050.0);
    const Recording out = render(resampler, 22050, {256});
    EXPECT_LT(analysis::rms(out.left, 4096, 22050), 0.5 * 1e-5);
}

TEST(EngineResamplerTest, APureToneComesOutCleanAtEveryRate) {
    // Whatever the converter adds to a 440 Hz sine (images, aliases, noise of its arithmetic)
    // stays 100 dB below the tone, and at 48 kHz the delay stays within a millisecond.
    for (double rate : convertedRates) {
        FakeEngine engine;
        engine.recordRenders = false;
        engine.signal = [](uint64_t n) {
            return 0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * double(n) / 44100.0);
        };
        EngineResampler resampler(engine.handle(), rate);
        ASSERT_TRUE(resampler.isReady()) << rate;
        const auto frames = size_t(rate);
        const Recording out = render(resampler, frames, {256});
        const double residual =
            analysis::residualAfterTone(out.left, frames / 4, frames, 440.0, rate);
        RecordProperty("residual_db_at_" + std::to_string(int(rate)),
                       std::to_string(int(std::round(residual))));
        EXPECT_LT(residual, -100.0) << rate;
        if (rate == 48000.0) {
            EXPECT_LE(resampler.getLatencyFrames(), 48u);
        }
    }
}

// The host frame at which the output first reaches half of a unit step.
double halfStepFrame(const std::vector<float>& x) {
    for (size_t i = 1; i < x.size(); ++i)
        if (x[i - 1] < 0.5f && x[i] >= 0.5f)
            return double(i - 1) + (0.5 - x[i - 1]) / (x[i] - x[i - 1]);
    return -1.0;
}

TEST(EngineResamplerTest, AnEventSoundsOnItsHostFrameAfterTheLatencyWhateverTheBlocks) {
    std::mt19937 random(15);
    std::vector<uint32_t> randomBlocks;
    for (int i = 0; i < 64; ++i)
        randomBlocks.push_back(1 + random() % 3000);
    const std::vector<std::vector<uint32_t>> patterns = {{1},    {64},   {256},
                                                         {1000}, {8192}, randomBlocks};
    for (double rate : {44100.0, 22050.0, 32000.0, 48000.0, 96000.0, 192000.0}) {
        for (const auto& blocks : patterns) {
            FakeEngine engine;
            EngineResampler resampler(engine.handle(), rate);
            const uint64_t target = 9000 + blocks.size() * 37; // anywhere within a block
            const Recording out = render(resampler, 24000, blocks, &engine, {target});
            const std::string where =
                std::to_string(int(rate)) + " Hz, first block " + std::to_string(blocks[0]);
            EXPECT_EQ(resampler.getLateStampCount(), 0u) << where;
            const double expected = double(target + resampler.getLatencyFrames());
            if (rate == 44100.0) {
                EXPECT_EQ(out.left[target - 1], 0.0f) << where;
                EXPECT_EQ(out.left[target], 1.0f) << where;
            } else {
                // Onto the engine's grid, rounded: within one engine frame.
                EXPECT_NEAR(halfStepFrame(out.left), expected, rate / 44100.0) << where;
            }
        }
    }
}

TEST(EngineResamplerTest, TheSameEventsGiveTheSameOutputWhateverTheBlocks) {
    auto run = [](const std::vector<uint32_t>& blocks) {
        FakeEngine engine;
        engine.recordRenders = false;
        engine.signal = [](uint64_t n) { return 0.25 * std::sin(0.05 * double(n)); };
        EngineResampler resampler(engine.handle(), 48000.0);
        return render(resampler, 30000, blocks, &engine, {5000, 12345, 20000});
    };
    const Recording reference = run({256});
    for (const auto& blocks : std::vector<std::vector<uint32_t>>{{1}, {97}, {4096}, {3, 900, 17}}) {
        const Recording other = run(blocks);
        EXPECT_EQ(other.left, reference.left) << blocks[0];
        EXPECT_EQ(other.right, reference.right) << blocks[0];
    }
}

TEST(EngineResamplerTest, RenderingAndStampingAllocateNothing) {
    for (double rate : {44100.0, 48000.0, 192000.0}) {
        FakeEngine engine;
        engine.recordRenders = false;
        engine.signal = ramp;
        EngineResampler resampler(engine.handle(), rate);
        std::vector<float> left(9000), right(9000);
        uint64_t allocations = 0;
        {
            AllocationCounter counter;
            for (uint32_t frames : {1u, 64u, 256u, 1000u, 8192u, 9000u}) {
                resampler.stampForHostFrame(frames - 1);
                resampler.render(left.data(), right.data(), frames);
            }
            allocations = counter.count();
        }
        EXPECT_EQ(allocations, 0u) << rate;
    }
}

TEST(EngineResamplerTest, RatesItCannotServeAreRefusedWithAReason) {
    FakeEngine engine;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, -48000.0, 7999.0, 768001.0, nan, infinity}) {
        EngineResampler resampler(engine.handle(), rate);
        EXPECT_FALSE(resampler.isReady()) << rate;
        EXPECT_FALSE(resampler.isPassThrough());
        EXPECT_STRNE(resampler.failure(), "");
        std::vector<float> out(64, 3.0f);
        resampler.render(out.data(), out.data(), 64); // does nothing
        EXPECT_EQ(out[0], 3.0f);
    }
    EngineResampler noEngine(nullptr, 48000.0);
    EXPECT_FALSE(noEngine.isReady());
    for (double rate : {8000.0, 768000.0})
        EXPECT_TRUE(EngineResampler(engine.handle(), rate).isReady()) << rate;
    EXPECT_TRUE(engine.renderStartTimes.empty());
}

} // namespace
