// The factory bank played through the engine's C interface: every preset sounds, sits in the
// loudness window a player expects of a factory sound (a triad at velocity 100 peaks between -20
// and -3 dBFS; eight voices at velocity 127 never pass full scale), applies completely whatever
// came before it, and renders the bytes recorded for it in FactoryPresetHashes.txt.
//
// A preset whose sound changes on purpose gets its new hash by running
//   CORVENA_WRITE_PRESET_HASHES=1 corvena_hosting_engine_tests --gtest_filter='FactoryPresets*'
// which rewrites the file; CORVENA_PRESET_FIGURES=1 prints each preset's peak and rms.
#include "FactoryPresets.h"
#include "EngineDriver.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef CORVENA_TEST_PRESET_HASHES
#define CORVENA_TEST_PRESET_HASHES ""
#endif

namespace {

constexpr uint64_t rate = 44100;
constexpr uint64_t heldFrames = 2 * rate;
constexpr uint64_t tailFrames = 3 * rate;
// The preset goes in at stamp 0 and the notes a tenth of a second later, once the engine's
// level has glided from its previous value (it takes up to 50 ms) as it does when a player picks
// a preset and then plays. Events act DspEventLatencySamples after their stamp.
constexpr uint64_t settleFrames = rate / 10;
constexpr uint64_t onset = settleFrames + DspEventLatencySamples;
const std::vector<int> triad = {60, 64, 67};
// Two hands, eight voices, F2 C3 G3 C4 E4 A4 B4 D5. Every voice starts its wave at the same
// phase, so stacked octaves add their peaks nearly in full: a fortissimo octave-doubled C major
// chord (C2 to E5) peaks up to 22 dB above the mezzo-forte triad in the brightest sounds, more
// than the window leaves (-20 to 0 dBFS), and the engine's own defaults reach +0.1 dBFS with it.
const std::vector<int> eightVoices = {41, 48, 55, 60, 64, 69, 71, 74};

double dbfs(double level) {
    return 20.0 * std::log10(std::max(level, 1e-12));
}

void apply(EngineDriver& engine, uint64_t stamp, const FactoryPreset& preset) {
    for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type)
        if (FactoryPresets::covers(type))
            engine.parameter(stamp, type,
                             DspGetNormalizedValue(type, FactoryPresets::value(preset, type)));
}

// Notes held for two seconds from the onset, then three seconds of release and delay tail.
EngineDriver::Stereo play(EngineDriver& engine, const std::vector<int>& notes, int velocity) {
    const uint64_t from = settleFrames;
    for (int note : notes)
        engine.noteOn(from, note, velocity);
    for (int note : notes)
        engine.noteOff(from + heldFrames, note);
    return engine.render(onset + heldFrames + tailFrames);
}

EngineDriver::Stereo playPreset(const FactoryPreset& preset, const std::vector<int>& notes,
                                int velocity) {
    EngineDriver engine;
    apply(engine, 0, preset);
    return play(engine, notes, velocity);
}

double peakOf(const EngineDriver::Stereo& out) {
    return std::max(analysis::peak(out.left, 0, out.left.size()),
                    analysis::peak(out.right, 0, out.right.size()));
}

// The loudest tenth of a second while the keys are held. Over the whole hold a hit or a pluck
// that has died away after 100 ms would read as silence however loud it struck.
double heldRms(const EngineDriver::Stereo& out) {
    constexpr size_t window = rate / 10;
    double loudest = 0.0;
    for (size_t from = onset; from + window <= onset + heldFrames; from += window / 2)
        loudest = std::max({loudest, analysis::rms(out.left, from, from + window),
                            analysis::rms(out.right, from, from + window)});
    return loudest;
}

// FNV-1a over the bit patterns of every float, left then right, frame by frame.
uint64_t hashOf(const EngineDriver::Stereo& out) {
    uint64_t hash = 14695981039346656037ull;
    const auto add = [&](float sample) {
        uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        for (int i = 0; i < 4; ++i) {
            hash ^= (bits >> (8 * i)) & 0xffu;
            hash *= 1099511628211ull;
        }
    };
    for (size_t i = 0; i < out.left.size(); ++i) {
        add(out.left[i]);
        add(out.right[i]);
    }
    return hash;
}

bool allFinite(const EngineDriver::Stereo& out) {
    for (size_t i = 0; i < out.left.size(); ++i)
        if (!std::isfinite(out.left[i]) || !std::isfinite(out.right[i]))
            return false;
    return true;
}

std::map<std::string, std::string> recordedHashes() {
    std::map<std::string, std::string> hashes;
    std::ifstream file(CORVENA_TEST_PRESET_HASHES);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#' || line.size() < 18)
            continue;
        hashes[line.substr(17)] = line.substr(0, 16);
    }
    return hashes;
}

std::string hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", (unsigned long long)value);
    return text;
}

TEST(FactoryPresetsTest, EveryPresetIsAudibleInTheLevelWindowAndNeverClips) {
    const bool printFigures = std::getenv("CORVENA_PRESET_FIGURES") != nullptr;
    if (printFigures)
        std::printf("%-28s %12s %12s %14s\n", "Preset", "triad peak", "held rms", "8 x 127 peak");
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        SCOPED_TRACE(FactoryPresets::label(preset));
        const EngineDriver::Stereo chord = playPreset(preset, triad, 100);
        const EngineDriver::Stereo loud = playPreset(preset, eightVoices, 127);
        ASSERT_TRUE(allFinite(chord));
        ASSERT_TRUE(allFinite(loud));
        const double peak = dbfs(peakOf(chord)), rms = dbfs(heldRms(chord));
        const double loudPeak = dbfs(peakOf(loud));
        if (printFigures)
            std::printf("%-28s %8.1f dBFS %8.1f dBFS %10.1f dBFS\n",
                        FactoryPresets::label(preset).c_str(), peak, rms, loudPeak);
        EXPECT_GE(rms, -40.0);
        EXPECT_GE(peak, -20.0);
        EXPECT_LE(peak, -3.0);
        // "Init" is the engine's defaults, which a player hears before choosing any preset; at
        // their level this chord reaches +0.5 dBFS. Every designed sound stays below.
        if (!preset.controls.engineDefaults) {
            EXPECT_LE(loudPeak, 0.0);
        }
    }
}

TEST(FactoryPresetsTest, EveryPresetRendersItsRecordedBytesAndNoTwoAlike) {
    const std::map<std::string, std::string> recorded = recordedHashes();
    std::map<uint64_t, std::string> seen;
    std::ostringstream file;
    file << "# FNV-1a of the triad phrase each factory preset renders (FactoryPresetsTest).\n";
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const std::string label = FactoryPresets::label(FactoryPresets::at(i));
        const uint64_t hash = hashOf(playPreset(FactoryPresets::at(i), triad, 100));
        const auto [other, fresh] = seen.emplace(hash, label);
        EXPECT_TRUE(fresh) << label << " renders the same bytes as " << other->second;
        const auto found = recorded.find(label);
        EXPECT_TRUE(found != recorded.end() && found->second == hex(hash))
            << label << " renders " << hex(hash) << ", recorded "
            << (found == recorded.end() ? "nothing" : found->second);
        file << hex(hash) << " " << label << "\n";
    }
    if (std::getenv("CORVENA_WRITE_PRESET_HASHES") != nullptr)
        std::ofstream(CORVENA_TEST_PRESET_HASHES, std::ios::trunc) << file.str();
}

TEST(FactoryPresetsTest, APresetSoundsTheSameWhateverWasSetBefore) {
    // Every control away from the preset's value, as a previous preset or a player leaves it.
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        SCOPED_TRACE(FactoryPresets::label(preset));
        EngineDriver fresh;
        apply(fresh, 0, preset);
        EngineDriver used;
        for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
            if (!FactoryPresets::covers(type))
                continue;
            const double position =
                DspGetNormalizedValue(type, FactoryPresets::value(preset, type));
            used.parameter(0, type, position < 0.5 ? 1.0 : 0.0);
        }
        apply(used, 0, preset);
        EXPECT_EQ(hashOf(play(fresh, triad, 100)), hashOf(play(used, triad, 100)));
    }
}

TEST(FactoryPresetsTest, EveryCoveredValueLiesInItsRangeAndNamesAreDistinct) {
    std::set<std::string> names;
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        std::string lower = preset.name;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(names.insert(lower).second) << preset.name;
        for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
            ParameterDescription d;
            ASSERT_TRUE(DspGetParameterDescription(type, &d));
            const double value = FactoryPresets::value(preset, type);
            if (!FactoryPresets::covers(type)) {
                EXPECT_TRUE(std::isnan(value)) << preset.name << " " << d.symbol;
                continue;
            }
            EXPECT_TRUE(value >= d.minValue && value <= d.maxValue)
                << preset.name << " " << d.symbol << " " << value;
            if (preset.controls.engineDefaults) {
                EXPECT_EQ(value, d.defaultValue) << d.symbol;
            }
        }
    }
    EXPECT_GE(FactoryPresets::count(), 32u);
    EXPECT_FALSE(FactoryPresets::covers(ParameterTypePitchBend));
    EXPECT_FALSE(FactoryPresets::covers(ParameterTypeVcaLfoFrequency));
}

TEST(FactoryPresetsTest, FindTakesANameALabelOrOneUniquePrefixInAnyCase) {
    std::string error;
    const FactoryPreset* init = FactoryPresets::find("init", error);
    ASSERT_NE(init, nullptr) << error;
    EXPECT_TRUE(init->controls.engineDefaults);
    const FactoryPreset* byLabel = FactoryPresets::find("bass: round sub", error);
    ASSERT_NE(byLabel, nullptr) << error;
    EXPECT_STREQ(byLabel->name, "Round Sub");
    const FactoryPreset* byPrefix = FactoryPresets::find("ROUND", error);
    EXPECT_EQ(byPrefix, byLabel);
    EXPECT_EQ(FactoryPresets::find("Bass: Ro", error), byLabel);

    // "Saw" begins several names: the error lists them rather than picking one.
    EXPECT_EQ(FactoryPresets::find("saw", error), nullptr);
    EXPECT_NE(error.find("Bass: Saw Bass"), std::string::npos) << error;
    EXPECT_NE(error.find("Lead: Saw Lead"), std::string::npos) << error;
    EXPECT_EQ(FactoryPresets::find("no such sound", error), nullptr);
    EXPECT_NE(error.find("--list-presets"), std::string::npos) << error;
    EXPECT_EQ(FactoryPresets::find("", error), nullptr);
}

} // namespace
