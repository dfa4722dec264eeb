// The renderer with the real engine: at 44.1 kHz its output is the engine's own for the same
// events posted directly, bit for bit; at other rates notes start where their time says, with
// no event late; more events at one moment than the engine's ring holds all still act; and the
// tail ends where the sound has died away, echoes included, or where it is told to.
#include "SongRenderer.h"
#include "EngineDriver.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

ScheduledMessage message(uint64_t sample, uint8_t status, uint8_t data1, uint8_t data2) {
    ScheduledMessage result;
    result.sample = sample;
    result.size = 3;
    result.bytes[0] = status;
    result.bytes[1] = data1;
    result.bytes[2] = data2;
    return result;
}

RenderPlan fixedTail(std::vector<ScheduledMessage> messages, uint64_t endSample, double tail) {
    RenderPlan plan;
    plan.messages = std::move(messages);
    plan.endSample = endSample;
    plan.automaticTail = false;
    plan.tailSeconds = tail;
    return plan;
}

struct Rendered {
    RenderOutcome outcome;
    std::vector<float> left, right;
};

// `settings` are (parameter, value in its unit) pairs posted before the render, as the program
// posts --set values.
Rendered render(const RenderPlan& plan, uint32_t rate,
                const std::vector<std::pair<ParameterType, double>>& settings = {}) {
    EngineDriver engine;
    for (const auto& [type, value] : settings)
        engine.parameter(0, type, DspGetNormalizedValue(type, value));
    SongRenderer renderer(engine.handle(), rate);
    EXPECT_TRUE(renderer.isReady());
    Rendered result;
    result.outcome = renderer.render(plan, [&](const float* left, const float* right, uint32_t n) {
        result.left.insert(result.left.end(), left, left + n);
        result.right.insert(result.right.end(), right, right + n);
        return true;
    });
    EXPECT_TRUE(result.outcome.completed);
    EXPECT_EQ(result.outcome.frames, result.left.size());
    return result;
}

size_t lastAbove(const std::vector<float>& samples, double threshold) {
    for (size_t i = samples.size(); i > 0; --i)
        if (std::fabs(samples[i - 1]) >= threshold)
            return i - 1;
    return 0;
}

TEST(SongRendererTest, AtTheEnginesRateTheOutputIsTheEnginesOwnForTheSameEvents) {
    const RenderPlan plan = fixedTail({message(1000, 0x90, 60, 100), message(1000, 0x90, 64, 90),
                                       message(20000, 0xB0, 64, 127), message(30000, 0x80, 60, 0)},
                                      40000, 0.5);
    const Rendered rendered = render(plan, 44100);
    EXPECT_EQ(rendered.outcome.frames, 40000u + 22050u);
    EXPECT_EQ(rendered.outcome.lateEvents, 0u);

    // The same events straight into an engine: song sample s is engine frame 44100 + s, and an
    // event acts DspEventLatencySamples frames after its stamp. At the end the renderer lifts the
    // pedal and releases what is held.
    EngineDriver direct;
    const uint64_t offset = SongRenderer::prerollEngineFrames - DspEventLatencySamples;
    direct.noteOn(offset + 1000, 60, 100);
    direct.noteOn(offset + 1000, 64, 90);
    direct.post(offset + 20000, EventSubTypeParameter, ParameterTypeDamper, 1.0);
    direct.noteOff(offset + 30000, 60);
    direct.post(offset + 40000, EventSubTypeParameter, ParameterTypeDamper, 0.0);
    direct.noteOff(offset + 40000, 64);
    const EngineDriver::Stereo reference = direct.render(44100 + 40000 + 22050, 1024);
    ASSERT_EQ(rendered.left.size(), reference.left.size() - 44100);
    EXPECT_TRUE(
        std::equal(rendered.left.begin(), rendered.left.end(), reference.left.begin() + 44100));
    EXPECT_TRUE(
        std::equal(rendered.right.begin(), rendered.right.end(), reference.right.begin() + 44100));
    EXPECT_EQ(analysis::firstAbove(rendered.left, 0.0), 1001u) << "a sine starts at 0 on 1000";
}

TEST(SongRendererTest, AtOtherRatesNotesStartOnTheirTimeAndNoEventIsLate) {
    // A 440 Hz sine, which every rate carries unchanged, crosses 0.01 a few samples after its
    // note starts, 1.25 s into the song; that crossing must keep its time in seconds.
    const RenderPlan plan =
        fixedTail({message(55125, 0x90, 69, 127), message(66150, 0x80, 69, 0)}, 66150, 0.1);
    const Rendered native = render(plan, 44100);
    const double threshold = 0.01;
    const size_t nativeOnset = analysis::firstAbove(native.left, threshold);
    ASSERT_NEAR(double(nativeOnset), 55125.0, 10.0);
    // While the note holds (1.3 to 1.5 s), in tune and nothing the engine did not play.
    const auto held = [](uint32_t rate) {
        return std::pair{size_t(1.3 * rate), size_t(1.5 * rate)};
    };
    const double nativeResidual = analysis::residualAfterTone(native.left, held(44100).first,
                                                              held(44100).second, 440.0, 44100.0);
    for (uint32_t rate : {8000u, 22050u, 48000u, 96000u, 192000u}) {
        const Rendered resampled = render(plan, rate);
        const auto [from, to] = held(rate);
        EXPECT_NEAR(analysis::frequencyByZeroCrossings(resampled.left, from, to, rate), 440.0, 0.05)
            << rate;
        EXPECT_LT(analysis::residualAfterTone(resampled.left, from, to, 440.0, rate),
                  std::max(nativeResidual + 1.0, -100.0))
            << rate;
        EXPECT_EQ(resampled.outcome.lateEvents, 0u) << rate;
        EXPECT_EQ(resampled.outcome.frames, uint64_t(1.6 * rate)) << rate;
        const double expected = double(nativeOnset) * rate / 44100.0;
        EXPECT_NEAR(double(analysis::firstAbove(resampled.left, threshold)), expected,
                    1.0 + rate / 44100.0)
            << rate;
    }
}

TEST(SongRendererTest, DenseSongsPostEveryEventInTimeAtTheLowestRate) {
    // A note on or off every 7 samples for two seconds, across all 128 notes.
    std::vector<ScheduledMessage> messages;
    for (uint64_t sample = 0, i = 0; sample < 88200; sample += 7, ++i)
        messages.push_back(message(sample, i % 2 ? 0x80 : 0x90, uint8_t(i / 2 % 128), 100));
    for (uint32_t rate : {8000u, 44100u, 96000u})
        EXPECT_EQ(render(fixedTail(messages, 88200, 0.0), rate).outcome.lateEvents, 0u) << rate;
}

TEST(SongRendererTest, MoreEventsAtOneMomentThanTheRingHoldsAllAct) {
    // 20000 notes on and off at one sample, then a note that is held: were any event dropped by
    // a full ring, the last note on, posted last, would be the one lost.
    std::vector<ScheduledMessage> messages;
    for (int i = 0; i < 10000; ++i) {
        messages.push_back(message(1000, 0x90, uint8_t(i % 128), 100));
        messages.push_back(message(1000, 0x80, uint8_t(i % 128), 0));
    }
    messages.push_back(message(1000, 0x90, 69, 100));
    const Rendered rendered = render(fixedTail(messages, 44100, 0.0), 44100);
    EXPECT_GT(rendered.outcome.lateEvents, 0u);
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(rendered.left, 22050, 44100), 440.0, 0.5);
}

TEST(SongRendererTest, TheAutomaticTailWaitsForTheReleaseThenForSilence) {
    RenderPlan plan = fixedTail({message(0, 0x90, 60, 100)}, 22050, 0.0);
    plan.automaticTail = true;
    // The note is still held at the end: released there, it dies within the release time.
    for (double release : {0.01, 1.5}) {
        const Rendered rendered = render(plan, 44100, {{ParameterTypeVcaEgReleaseTime, release}});
        EXPECT_FALSE(rendered.outcome.tailCut);
        const size_t frames = rendered.left.size();
        EXPECT_GE(frames, 22050 + size_t(release * 44100) + 4410) << release;
        EXPECT_LE(frames, 22050 + size_t(release * 44100) + 4410 + 2205) << release;
        EXPECT_GT(analysis::peak(rendered.left, 22050, 22050 + 441), 0.01) << "the release";
        EXPECT_LT(analysis::peak(rendered.left, frames - 4410, frames),
                  SongRenderer::silenceThreshold);
    }
}

TEST(SongRendererTest, TheAutomaticTailKeepsEchoesAfterAGapOfSilence) {
    RenderPlan plan = fixedTail({message(0, 0x90, 60, 100), message(2205, 0x80, 60, 0)}, 2205, 0);
    plan.automaticTail = true;
    const std::vector<std::pair<ParameterType, double>> echoes = {
        {ParameterTypeDelayMix, 0.5},
        {ParameterTypeDelayTimeL, 0.8},
        {ParameterTypeDelayTimeR, 0.8},
        {ParameterTypeDelayFeedback, 0.3}};
    const Rendered rendered = render(plan, 44100, echoes);
    EXPECT_FALSE(rendered.outcome.tailCut);
    // The note is over after 0.06 s; echoes come every 0.8 s, fainter each time.
    EXPECT_LT(analysis::peak(rendered.left, 4410, 35000), SongRenderer::silenceThreshold);
    EXPECT_GT(analysis::peak(rendered.left, 35280, 37485), 0.01) << "the first echo";
    EXPECT_GT(lastAbove(rendered.left, 1e-3), size_t(3 * 35280)) << "the third echo";
    const size_t frames = rendered.left.size();
    EXPECT_LT(analysis::peak(rendered.left, frames - 35721, frames), SongRenderer::silenceThreshold)
        << "the file ends after a silence longer than the delay";
}

TEST(SongRendererTest, EndlessEchoesAreCutAfterAMinute) {
    RenderPlan plan = fixedTail({message(0, 0x90, 60, 100), message(2205, 0x80, 60, 0)}, 2205, 0);
    plan.automaticTail = true;
    const Rendered rendered = render(plan, 22050,
                                     {{ParameterTypeDelayMix, 1.0},
                                      {ParameterTypeDelayTimeL, 0.25},
                                      {ParameterTypeDelayTimeR, 0.25},
                                      {ParameterTypeDelayFeedback, 1.0}});
    EXPECT_TRUE(rendered.outcome.tailCut);
    EXPECT_EQ(rendered.left.size(), 1103u + 60u * 22050u);
}

TEST(SongRendererTest, AFixedTailHasExactlyItsLengthAndARefusingSinkStops) {
    const RenderPlan plan = fixedTail({message(0, 0x90, 60, 100)}, 44100 * 3 / 2, 0.25);
    EXPECT_EQ(render(plan, 48000).left.size(), 72000u + 12000u);
    EXPECT_EQ(render(plan, 44100).left.size(), 66150u + 11025u);

    EngineDriver engine;
    SongRenderer renderer(engine.handle(), 44100);
    int blocks = 0;
    const RenderOutcome outcome =
        renderer.render(plan, [&](const float*, const float*, uint32_t) { return ++blocks < 3; });
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(renderer.mostFrames(plan), 66150u + 11025u);
    SongRenderer wrongRate(engine.handle(), 1000);
    EXPECT_FALSE(wrongRate.isReady());
}

} // namespace
