// The shared rate converter against sources whose every frame the test knows: its pass band is
// flat and what lies beyond the narrower rate's band stays out, its output is time-aligned with
// its input, it asks its source for no more than the output needs (the read-ahead it reports is
// the largest there is, and small), and the output is the same whatever the read sizes.
#include "RateConverter.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

// Input frame n is signal(n) on the left and -signal(n) on the right.
struct Source {
    std::function<double(uint64_t)> signal = [](uint64_t) { return 0.0; };
    uint64_t next = 0;

    static void pull(void* self, float* interleaved, uint32_t frames) {
        auto* source = static_cast<Source*>(self);
        for (uint32_t i = 0; i < frames; ++i) {
            const auto value = float(source->signal(source->next++));
            interleaved[2 * i] = value;
            interleaved[2 * i + 1] = -value;
        }
    }
};

std::vector<float> readLeft(RateConverter& converter, size_t frames,
                            const std::vector<uint32_t>& blocks = {256}) {
    std::vector<float> interleaved(2 * frames);
    size_t done = 0;
    for (size_t b = 0; done < frames; ++b) {
        const auto n = uint32_t(std::min<size_t>(blocks[b % blocks.size()], frames - done));
        converter.read(interleaved.data() + 2 * done, n);
        done += n;
    }
    std::vector<float> left(frames);
    for (size_t i = 0; i < frames; ++i) {
        left[i] = interleaved[2 * i];
        EXPECT_EQ(interleaved[2 * i + 1], -left[i]);
    }
    return left;
}

double gainDecibels(double inputRate, double outputRate, double frequency) {
    Source source;
    source.signal = [=](uint64_t n) {
        return 0.5 * std::sin(2.0 * std::numbers::pi * frequency * double(n) / inputRate);
    };
    RateConverter converter(inputRate, outputRate, &Source::pull, &source);
    const auto frames = size_t(outputRate / 2);
    const std::vector<float> out = readLeft(converter, frames);
    return 20.0 *
           std::log10(analysis::amplitudeAt(out, frames / 4, frames, frequency, outputRate) / 0.5);
}

TEST(RateConverterTest, ThePassBandIsFlatAndWhatTheNarrowerRateCannotCarryStaysOut) {
    for (double rate : {48000.0, 96000.0, 22050.0}) {
        for (double frequency : {30.0, 1000.0, 5000.0, 9000.0}) {
            EXPECT_NEAR(gainDecibels(44100.0, rate, frequency), 0.0, 0.01)
                << frequency << " Hz at " << rate;
        }
    }
    for (double rate : {48000.0, 96000.0}) {
        for (double frequency : {12000.0, 16000.0, 18000.0})
            EXPECT_NEAR(gainDecibels(44100.0, rate, frequency), 0.0, 0.01) << frequency;
    }
    // Down to 22.05 kHz, 15 kHz would fold back as 7.05 kHz.
    Source source;
    source.signal = [](uint64_t n) {
        return 0.5 * std::sin(2.0 * std::numbers::pi * 15000.0 * double(n) / 44100.0);
    };
    RateConverter down(44100.0, 22050.0, &Source::pull, &source);
    const std::vector<float> out = readLeft(down, 22050);
    EXPECT_LT(analysis::amplitudeAt(out, 4096, 22050, 7050.0, 22050.0), 1e-5);
}

// The output frame at which the output first reaches half of a unit step.
double halfStepFrame(const std::vector<float>& x) {
    for (size_t i = 1; i < x.size(); ++i)
        if (x[i - 1] < 0.5f && x[i] >= 0.5f)
            return double(i - 1) + (0.5 - x[i - 1]) / (x[i] - x[i - 1]);
    return -1.0;
}

TEST(RateConverterTest, InputFrameMLandsOnOutputFrameMTimesTheRatio) {
    // A step at input frame 1000 (between 999 and 1000 its half-way point lies at 999.5).
    for (double rate : {22050.0, 32000.0, 48000.0, 96000.0, 192000.0, 768000.0, 47999.5}) {
        Source source;
        source.signal = [](uint64_t n) { return n >= 1000 ? 1.0 : 0.0; };
        RateConverter converter(44100.0, rate, &Source::pull, &source);
        ASSERT_TRUE(converter.isReady()) << rate;
        const std::vector<float> out = readLeft(converter, size_t(3000 * rate / 44100.0));
        EXPECT_NEAR(halfStepFrame(out), 999.5 * rate / 44100.0, 0.1) << rate;
    }
}

TEST(RateConverterTest, TheSourceIsAskedForNoMoreThanTheOutputNeeds) {
    std::mt19937 random(25);
    std::vector<uint32_t> randomBlocks;
    for (int i = 0; i < 200; ++i)
        randomBlocks.push_back(1 + random() % 700);
    for (double rate : {22050.0, 48000.0, 96000.0, 192000.0, 768000.0}) {
        Source source;
        RateConverter converter(44100.0, rate, &Source::pull, &source);
        ASSERT_TRUE(converter.isReady()) << rate;
        const double ratio = rate / 44100.0;
        EXPECT_DOUBLE_EQ(converter.ratio(), ratio);
        // The filter needs its half length ahead, and the reported read-ahead is no more than
        // a frame or two beyond that.
        EXPECT_GE(converter.readAheadFrames(), RateConverter::filterHalfLength * ratio - 1.0);
        EXPECT_LE(converter.readAheadFrames(),
                  (RateConverter::filterHalfLength + 2) * std::max(ratio, 1.0))
            << rate;
        double mostAhead = 0.0;
        std::vector<float> block(2 * 700);
        for (uint32_t frames : randomBlocks) {
            converter.read(block.data(), frames);
            mostAhead = std::max(mostAhead, double(converter.inputFramesPulled()) * ratio -
                                                double(converter.outputFramesWritten()));
        }
        EXPECT_LE(mostAhead, converter.readAheadFrames() + 1e-9) << rate;
        EXPECT_EQ(converter.inputFramesPulled(), source.next);
    }
    Source source;
    RateConverter at48(44100.0, 48000.0, &Source::pull, &source);
    EXPECT_LE(at48.readAheadFrames(), 36.0);
}

TEST(RateConverterTest, TheOutputIsTheSameWhateverTheReadSizes) {
    for (double rate : {48000.0, 22050.0, 768000.0}) {
        auto run = [rate](const std::vector<uint32_t>& blocks) {
            Source source;
            source.signal = [](uint64_t n) { return 0.25 * std::sin(0.05 * double(n)); };
            RateConverter converter(44100.0, rate, &Source::pull, &source);
            return readLeft(converter, 20000, blocks);
        };
        const std::vector<float> reference = run({256});
        for (const auto& blocks : std::vector<std::vector<uint32_t>>{{1}, {97}, {4096}, {3, 900}})
            EXPECT_EQ(run(blocks), reference) << rate << " Hz in blocks of " << blocks[0];
    }
}

TEST(RateConverterTest, RatesItCannotConvertAreRefusedWithAReasonAndReadAsSilence) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, -48000.0, nan, infinity}) {
        Source source;
        RateConverter converter(44100.0, rate, &Source::pull, &source);
        EXPECT_FALSE(converter.isReady()) << rate;
        EXPECT_STRNE(converter.failure(), "");
        std::vector<float> out(64, 3.0f);
        converter.read(out.data(), 32);
        EXPECT_EQ(out, std::vector<float>(64, 0.0f));
        EXPECT_EQ(source.next, 0u);
    }
}

} // namespace
