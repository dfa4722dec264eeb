// Whatever a host sends — automation gone wrong, a corrupt file, a buggy stamp — the engine's
// output stays finite and bounded, no later event is lost, and the engine plays normally again as
// soon as sane values return.
#include "Corvena_Core.h"
#include "EngineDriver.h"
#include "EventScript.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
const double badValues[] = {notANumber, infinity, -infinity, 1e300, -1e300, 2.0, -1.0};

// Eight voices at full level with the highest resonance stay far below this; the faults it
// guards against produce NaN or values near 3.4e38.
constexpr float loudestSane = 64.0f;

struct Check {
    bool finite = true;
    float peak = 0.0f;
};

Check inspect(const EngineDriver::Stereo& s) {
    Check c;
    for (size_t i = 0; i < s.left.size(); ++i)
        for (float v : {s.left[i], s.right[i]}) {
            if (!std::isfinite(v))
                c.finite = false;
            else
                c.peak = std::max(c.peak, std::fabs(v));
        }
    return c;
}

// The roads a value takes: a host's normalized knob value (snapped and scaled at posting), and
// an engine value passed through unchanged (a sequencer-event road, as a host may use it).
enum class Road { normalized, engineValue };

void postBad(EngineDriver& e, Road road, ParameterType type, double value) {
    if (road == Road::normalized)
        e.parameter(e.position(), type, value);
    else
        DspSetSequencerEvent(e.handle(), EventTypeSynth, EventSubTypeParameter, type, value, 0, 0,
                             0, 0);
}

void postDefault(EngineDriver& e, Road road, ParameterType type) {
    ParameterDescription d;
    DspGetParameterDescription(type, &d);
    if (road == Road::normalized)
        e.parameter(e.position(), type, d.defaultNormalizedValue);
    else
        DspSetSequencerEvent(e.handle(), EventTypeSynth, EventSubTypeParameter, type,
                             d.defaultValue, 0, 0, 0, 0);
}

void playThroughBadValue(Road road, ParameterType type, double value) {
    SCOPED_TRACE("type " + std::to_string(type) + " value " + std::to_string(value) +
                 (road == Road::normalized ? " (normalized)" : " (engine value)"));
    EngineDriver e;
    e.noteOn(0, 57, 100);
    e.noteOn(0, 64, 100);
    Check during = inspect(e.render(4096, 256));
    postBad(e, road, type, value);
    const Check bad = inspect(e.render(8192, 256));
    EXPECT_TRUE(during.finite && bad.finite);
    EXPECT_LT(bad.peak, loudestSane);

    postDefault(e, road, type);
    e.noteOff(e.position(), 57);
    e.noteOff(e.position(), 64);
    // Long enough for the default release and the delay's echoes to die away.
    e.render(44100, 256);
    e.noteOn(e.position(), 60, 100);
    const EngineDriver::Stereo after = e.render(16384, 256);
    const Check recovered = inspect(after);
    EXPECT_TRUE(recovered.finite);
    EXPECT_LT(recovered.peak, loudestSane);
    EXPECT_GT(analysis::rms(after.left, 3000, 16384), 1e-3) << "the new note is heard";
}

} // namespace

TEST(BadParameterValues, NoValueOnEitherRoadPoisonsTheEngine) {
    for (Road road : {Road::normalized, Road::engineValue})
        for (ParameterType type = 1; type < ParameterTypeCount; ++type)
            for (double value : badValues)
                playThroughBadValue(road, type, value);
}

TEST(BadParameterValues, NonFiniteValuesAreRefusedAtPostingAndOthersClampToTheKnobsTravel) {
    EngineDriver e;
    const ParameterInfo before = DspGetParameterInfo(e.handle(), ParameterTypeLpfCutoffFrequency);
    for (double value : {notANumber, infinity, -infinity})
        EXPECT_EQ(e.parameter(0, ParameterTypeLpfCutoffFrequency, value), 0.0);
    const ParameterInfo after = DspGetParameterInfo(e.handle(), ParameterTypeLpfCutoffFrequency);
    EXPECT_EQ(after.normalizedValue, before.normalizedValue) << "the table row is untouched";
    EXPECT_EQ(after.currentValue, before.currentValue);

    EXPECT_EQ(e.parameter(0, ParameterTypeHpfCutoffFrequency, 2.0), 1.0);
    EXPECT_EQ(DspGetParameterInfo(e.handle(), ParameterTypeHpfCutoffFrequency).currentValue,
              2000.0);
    EXPECT_EQ(e.parameter(0, ParameterTypeOctaveTranspose, -1e300), 0.0);
    EXPECT_EQ(DspGetParameterInfo(e.handle(), ParameterTypeOctaveTranspose).currentValue, -2.0);
}

// Stamps a host cannot mean: non-finite, or so far ahead that the event would hold every later
// one back for longer than any piece of music. They are taken as "now", so the event still acts
// and a correctly stamped note behind it plays on its frame.
TEST(BadTimeStamps, AnAbsurdStampNeverHoldsBackTheEventsBehindIt) {
    for (double stamp : {infinity, -infinity, notANumber, 1e300, -1e300, 18446744073709551616.0}) {
        SCOPED_TRACE(std::to_string(stamp));
        EngineDriver e;
        AudioTimeStamp bad;
        std::memset(&bad, 0, sizeof bad);
        bad.mSampleTime = stamp;
        DspSetEventWithTimeStamp(e.handle(), bad, EventSubTypeNoteOn, ParameterTypeNone, 72, 100,
                                 0);
        DspSetEventWithTimeStamp(e.handle(), bad, EventSubTypeNoteOff, ParameterTypeNone, 72, 0, 0);
        e.noteOn(1000, 60, 100);
        const EngineDriver::Stereo out = e.render(4096, 512);
        EXPECT_TRUE(inspect(out).finite);
        EXPECT_EQ(out.left[2024], 0.0f);
        EXPECT_NE(out.left[2025], 0.0f) << "the good note starts on its frame";
        EXPECT_GT(analysis::rms(out.left, 2100, 4096), 1e-3) << "and it is heard";
    }
}

TEST(BadTimeStamps, StampsWithinTheHourKeepArrivalOrder) {
    EngineDriver e;
    e.noteOn(44100 * 60, 72, 100); // a minute ahead: legitimate, and it holds the queue
    e.noteOn(0, 60, 100);
    const EngineDriver::Stereo out = e.render(8192, 512);
    for (float v : out.left)
        ASSERT_EQ(v, 0.0f);
}

// An installation whose wavetable files were damaged (a FIFO in one's place, NaN in the other)
// starts without hanging and sounds exactly as a sound one: the sets are computed instead.
TEST(BadResourceFiles, AnEngineWithDamagedWavetablesSoundsLikeASoundOne) {
    const std::string directory = ::testing::TempDir() + "corvena_damaged_bundle";
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    ASSERT_EQ(mkfifo((directory + "/data1.wt").c_str(), 0600), 0);
    {
        std::vector<double> nans(500 * 2049, std::numeric_limits<double>::quiet_NaN());
        FILE* file = std::fopen((directory + "/data0.wt").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(nans.data(), sizeof(double), nans.size(), file), nans.size());
        std::fclose(file);
    }
    auto play = [](EngineDriver& e) {
        e.parameter(0, ParameterTypeOscillatorWaveform, 0.4); // sawtooth
        e.noteOn(0, 45, 100);
        e.parameter(6000, ParameterTypeOscillatorWaveform, 0.2); // triangle
        e.noteOn(6000, 76, 100);
        return e.render(14000, 256);
    };
    ::testing::internal::CaptureStderr();
    EngineDriver damaged(directory);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("data0.wt"), std::string::npos) << said;
    EXPECT_NE(said.find("data1.wt"), std::string::npos) << said;
    EngineDriver sound;
    const EngineDriver::Stereo a = play(damaged);
    const EngineDriver::Stereo b = play(sound);
    EXPECT_TRUE(inspect(a).finite);
    EXPECT_GT(analysis::rms(a.left, 2000, 14000), 1e-3);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

// The CI-run counterpart of the engine-event fuzzer: seeded random scripts of every kind of
// call, value and stamp a host could send.
TEST(BadEvents, RandomScriptsThroughTheInterfaceKeepEverySampleFiniteAndBounded) {
    std::mt19937 random(20261208);
    for (int script = 0; script < 120; ++script) {
        std::vector<uint8_t> bytes(64 + random() % 512);
        for (uint8_t& b : bytes)
            b = uint8_t(random());
        const EventScriptResult r =
            playEventScript(bytes.data(), bytes.size(), CORVENA_TEST_RESOURCES);
        ASSERT_TRUE(r.allFinite) << "script " << script << ": " << r.firstProblem;
        ASSERT_LT(r.peak, loudestSane) << "script " << script;
    }
}
