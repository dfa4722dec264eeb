// The hosting pieces with the real engine: MIDI played through the mapper and rendered through
// the resampler sounds at the right pitch and level at every rate, lands on the same frame as an
// event posted directly, and the pedal and All Notes Off act on the engine's voices.
#include "AllocationCounter.h"
#include "ChainLevel.h"
#include "EngineDriver.h"
#include "EngineResampler.h"
#include "MidiEventMapper.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A host: one engine, its mapper and its resampler; MIDI goes in at host frames.
struct Host {
    explicit Host(double rate) : resampler(engine.handle(), rate) {}

    void play(const Bytes& message, uint64_t hostFrame) {
        const uint64_t rendered = resampler.getHostFramesRendered();
        mapper.map(message.data(), message.size(),
                   resampler.stampForHostFrame(hostFrame - rendered));
    }

    void render(size_t frames, uint32_t block = 256) {
        const size_t start = left.size();
        left.resize(start + frames);
        right.resize(start + frames);
        for (size_t done = 0; done < frames;) {
            const auto n = uint32_t(std::min<size_t>(block, frames - done));
            resampler.render(left.data() + start + done, right.data() + start + done, n);
            done += n;
        }
    }

    EngineDriver engine;
    MidiEventMapper mapper{engine.handle()};
    EngineResampler resampler;
    std::vector<float> left, right;
};

TEST(HostingEngineTest, Note69Sounds440HzAtTheChainsLevelAtEveryRate) {
    const double predicted = chain::predictedSineLevelAtDefaults(440.0, 100);
    for (double rate : {22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0}) {
        Host host(rate);
        ASSERT_TRUE(host.resampler.isReady()) << rate;
        host.play({0x90, 69, 100}, 0);
        const auto frames = size_t(rate);
        host.render(frames);
        // Attack and decay are over within 0.03 s: measure the steady tone after a tenth.
        const size_t from = frames / 10;
        EXPECT_NEAR(analysis::frequencyByZeroCrossings(host.left, from, frames, rate), 440.0, 0.05)
            << rate;
        EXPECT_NEAR(analysis::amplitudeAt(host.left, from, frames, 440.0, rate), predicted,
                    predicted * 0.005)
            << rate;
        EXPECT_EQ(host.resampler.getLateStampCount(), 0u);
    }
}

TEST(HostingEngineTest, AtTheEnginesRateTheOutputIsTheEnginesOwnBitForBit) {
    // The same note, posted directly on the engine's clock (acting at frame 1024, the latency)
    // and played through the mapper for host frame 1024.
    EngineDriver direct;
    direct.noteOn(0, 60, 100);
    direct.post(3000 - DspEventLatencySamples, EventSubTypeParameter,
                ParameterTypeLpfCutoffFrequency, 0.3);
    const EngineDriver::Stereo reference = direct.render(8192, 300);

    Host host(44100.0);
    host.play({0x90, 60, 100}, DspEventLatencySamples);
    const uint64_t later = 3000;
    host.render(1000, 300);
    const double stamp = host.resampler.stampForHostFrame(later - 1000);
    AudioTimeStamp timeStamp{};
    timeStamp.mSampleTime = stamp;
    DspSetEventWithTimeStamp(host.engine.handle(), timeStamp, EventSubTypeParameter,
                             ParameterTypeLpfCutoffFrequency, 0.3, 0, 0);
    host.render(8192 - 1000, 77);
    EXPECT_EQ(host.left, reference.left);
    EXPECT_EQ(host.right, reference.right);
    // The note starts on its frame (with a sine at phase 0, so its first sample is 0).
    EXPECT_EQ(analysis::firstAbove(host.left, 0.0), 1025u);
}

TEST(HostingEngineTest, PitchBendReachesTheEnginesTwoSemitones) {
    Host host(48000.0);
    host.play({0xE0, 0x7F, 0x7F}, 0);
    host.play({0x90, 69, 100}, 0);
    host.render(48000);
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(host.left, 4800, 48000, 48000.0),
                440.0 * std::pow(2.0, 2.0 / 12.0), 0.05);
}

TEST(HostingEngineTest, ThePedalHoldsAReleasedNoteAndAllNotesOffEndsIt) {
    Host host(44100.0);
    host.play({0x90, 60, 100}, 0);
    host.play({0xB0, 64, 127}, 100);
    host.play({0x80, 60, 0}, 4410);
    host.render(22050);
    // Release is 10 ms: a note released at 0.1 s would be silent by 0.5 s; the pedal holds it.
    EXPECT_GT(analysis::rms(host.left, 20000, 22050), 0.01);
    host.play({0xB5, 123, 0}, 22050);
    host.render(22050);
    EXPECT_LT(analysis::peak(host.left, 22050 + 4410, 44100), 1e-6);
}

TEST(HostingEngineTest, SilenceRendersWithoutAnAllocatorCallAtEveryRate) {
    // Until the engine keeps a voice pool, a note allocates its voice; everything else of a
    // host's block must not.
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        Host host(rate);
        host.render(4096);
        std::vector<float> left(1024), right(1024);
        uint64_t allocations = 0;
        {
            AllocationCounter counter;
            for (int block = 0; block < 50; ++block) {
                const uint8_t bend[3] = {0xE0, 0x00, uint8_t(block)};
                host.mapper.map(bend, 3, host.resampler.stampForHostFrame(block));
                host.resampler.render(left.data(), right.data(), 1024);
            }
            allocations = counter.count();
        }
        EXPECT_EQ(allocations, 0u) << rate;
    }
}

} // namespace
