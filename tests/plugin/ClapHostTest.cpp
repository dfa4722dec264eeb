// corvena.clap in our CLAP host (ClapTestHost, in C on DPF's CLAP headers): what a CLAP host
// reads before it plays (the descriptor's features, the parameters from the engine's table,
// one MIDI note input and one stereo output), note 60 at 44.1 and 48 kHz on its frame plus the
// reported latency, no allocator call while processing, state that brings the sound back, and
// bad input (events out of order or past the block, NaN and out-of-range values, empty and
// oversized blocks) that never crashes and never puts out a NaN, and the factory bank through
// the plugin's own extension for it.
#include "AllocationCounter.h"
#include "ChainLevel.h"
#include "ClapFactoryPresets.h"
#include "ClapTestHost.h"
#include "Corvena_Core.h"
#include "FactoryPresets.h"
#include "Polling.h"
#include "PortMap.h"
#include "SignalAnalysis.h"
#include "TestHostWindow.h"
#include "XvfbDisplay.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string clapUnderTest() {
    const char* installed = std::getenv("CORVENA_CLAP_FILE");
    return installed != nullptr && installed[0] != '\0' ? installed : CORVENA_TEST_CLAP_FILE;
}

struct Recording {
    std::vector<float> left, right;
};

class ClapHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        char error[512] = "";
        module = clap_test_module_open(clapUnderTest().c_str(), error, sizeof error);
        ASSERT_NE(module, nullptr) << error;
    }
    void TearDown() override { clap_test_module_close(module); }

    using Instance = std::unique_ptr<ClapTestInstance, void (*)(ClapTestInstance*)>;
    Instance create() {
        return Instance(clap_test_instance_create(module), clap_test_instance_destroy);
    }
    static void run(ClapTestInstance* instance, Recording& out, uint32_t frames) {
        std::vector<float> left(frames, NAN), right(frames, NAN);
        EXPECT_NE(clap_test_instance_process(instance, frames, left.data(), right.data()),
                  CLAP_PROCESS_ERROR);
        out.left.insert(out.left.end(), left.begin(), left.end());
        out.right.insert(out.right.end(), right.begin(), right.end());
    }
    // The CLAP parameter of a row of the engine's table, found by its name.
    static clap_id paramId(ClapTestInstance* instance, ParameterType type) {
        ParameterDescription row{};
        DspGetParameterDescription(type, &row);
        const char* name = row.name;
        const auto* params = static_cast<const clap_plugin_params_t*>(
            clap_test_instance_extension(instance, CLAP_EXT_PARAMS));
        const clap_plugin_t* plugin = clap_test_instance_plugin(instance);
        for (uint32_t i = 0; i < params->count(plugin); ++i) {
            clap_param_info_t info{};
            if (params->get_info(plugin, i, &info) && std::strcmp(info.name, name) == 0)
                return info.id;
        }
        ADD_FAILURE() << "no parameter " << name;
        return CLAP_INVALID_ID;
    }

    ClapTestModule* module = nullptr;
};

size_t nonFiniteCount(const std::vector<float>& samples) {
    size_t count = 0;
    for (float x : samples)
        count += std::isfinite(x) ? 0 : 1;
    return count;
}

TEST_F(ClapHostTest, DescriptorNamesAnInstrumentAndASynthesizer) {
    const clap_plugin_factory_t* factory = clap_test_module_factory(module);
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->get_plugin_count(factory), 1u);
    const clap_plugin_descriptor_t* descriptor = factory->get_plugin_descriptor(factory, 0);
    EXPECT_STREQ(descriptor->name, "Corvena");
    std::vector<std::string> features;
    for (const char* const* f = descriptor->features; f != nullptr && *f != nullptr; ++f)
        features.emplace_back(*f);
    EXPECT_NE(std::find(features.begin(), features.end(), CLAP_PLUGIN_FEATURE_INSTRUMENT),
              features.end());
    EXPECT_NE(std::find(features.begin(), features.end(), CLAP_PLUGIN_FEATURE_SYNTHESIZER),
              features.end());
}

TEST_F(ClapHostTest, ParametersAndPortsAreTheEnginesTableAndOneNoteInTwoChannelsOut) {
    Instance instance = create();
    ASSERT_TRUE(instance);
    const clap_plugin_t* plugin = clap_test_instance_plugin(instance.get());
    const auto* params = static_cast<const clap_plugin_params_t*>(
        clap_test_instance_extension(instance.get(), CLAP_EXT_PARAMS));
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(plugin), PortMap::controlCount());
    for (uint32_t i = 0; i < params->count(plugin); ++i) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin, i, &info));
        ParameterDescription row{};
        ASSERT_TRUE(
            DspGetParameterDescription(PortMap::parameterOf(PortMap::firstControl + i), &row));
        EXPECT_STREQ(info.name, row.name);
        EXPECT_EQ(info.min_value, double(float(row.minValue))) << row.name;
        EXPECT_EQ(info.max_value, double(float(row.maxValue))) << row.name;
        EXPECT_EQ(info.default_value, double(float(row.defaultValue))) << row.name;
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE) << row.name;
        EXPECT_EQ(bool(info.flags & CLAP_PARAM_IS_STEPPED),
                  row.steps == 2 || (row.curve != DspParameterCurvePower && row.steps > 2 &&
                                     row.maxValue - row.minValue == double(row.steps - 1)))
            << row.name;
        double value = NAN;
        ASSERT_TRUE(params->get_value(plugin, info.id, &value));
        EXPECT_EQ(value, double(float(row.defaultValue))) << row.name;
    }

    const auto* notes = static_cast<const clap_plugin_note_ports_t*>(
        clap_test_instance_extension(instance.get(), CLAP_EXT_NOTE_PORTS));
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->count(plugin, true), 1u);
    EXPECT_EQ(notes->count(plugin, false), 0u);
    clap_note_port_info_t noteInfo{};
    ASSERT_TRUE(notes->get(plugin, 0, true, &noteInfo));
    EXPECT_TRUE(noteInfo.supported_dialects & CLAP_NOTE_DIALECT_MIDI);

    const auto* audio = static_cast<const clap_plugin_audio_ports_t*>(
        clap_test_instance_extension(instance.get(), CLAP_EXT_AUDIO_PORTS));
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->count(plugin, true), 0u);
    ASSERT_EQ(audio->count(plugin, false), 1u);
    clap_audio_port_info_t audioInfo{};
    ASSERT_TRUE(audio->get(plugin, 0, false, &audioInfo));
    EXPECT_EQ(audioInfo.channel_count, 2u);
}

TEST_F(ClapHostTest, Note60SoundsMiddleCOnItsFramePlusTheReportedLatencyAt441And48kHz) {
    for (double rate : {44100.0, 48000.0}) {
        Instance instance = create();
        ASSERT_TRUE(instance);
        ASSERT_TRUE(clap_test_instance_activate(instance.get(), rate, 512));
        const auto* latency = static_cast<const clap_plugin_latency_t*>(
            clap_test_instance_extension(instance.get(), CLAP_EXT_LATENCY));
        ASSERT_NE(latency, nullptr);
        const uint32_t delay = latency->get(clap_test_instance_plugin(instance.get()));
        EXPECT_EQ(delay == 0, rate == 44100.0) << rate;
        EXPECT_LT(delay, 200u) << rate;

        Recording out;
        const size_t noteFrame = 4 * 256 + 100;
        for (int block = 0; block < 200; ++block) {
            if (block == 4)
                clap_test_instance_queue_midi(instance.get(), 100, 0x90, 60, 100);
            run(instance.get(), out, 256);
        }
        // At 44.1 kHz silent to the note's frame exactly: the sine starts at phase 0, so its
        // first sample is 0. At 48 kHz the converter's ringing is far below the onset's level.
        if (rate == 44100.0) {
            EXPECT_EQ(analysis::firstAbove(out.left, 0.0), noteFrame + 1);
        } else {
            const double predicted = chain::predictedSineLevelAtDefaults(261.63, 100);
            EXPECT_NEAR(double(analysis::firstAbove(out.left, 1e-3 * predicted)),
                        double(noteFrame + delay), 3.0);
        }
        EXPECT_NEAR(analysis::frequencyByZeroCrossings(out.left, 8192, out.left.size(), rate),
                    261.63, 0.05)
            << rate;
        EXPECT_EQ(nonFiniteCount(out.left) + nonFiniteCount(out.right), 0u);
    }
}

TEST_F(ClapHostTest, ProcessMakesNoAllocatorCallWhateverItPlays) {
    for (double rate : {44100.0, 48000.0}) {
        Instance instance = create();
        ASSERT_TRUE(instance);
        ASSERT_TRUE(clap_test_instance_activate(instance.get(), rate, 256));
        const clap_id cutoff = paramId(instance.get(), ParameterTypeLpfCutoffFrequency);
        const clap_id waveform = paramId(instance.get(), ParameterTypeOscillatorWaveform);
        std::vector<float> left(256), right(256);
        clap_test_instance_process(instance.get(), 256, left.data(), right.data());
        uint64_t allocations = 0;
        for (int block = 0; block < 64; ++block) {
            clap_test_instance_queue_param(instance.get(), 0, cutoff, 200.0 + 100.0 * block);
            clap_test_instance_queue_param(instance.get(), 0, waveform, block % 5);
            for (int n = 0; n < 3; ++n)
                clap_test_instance_queue_midi(instance.get(), uint32_t(n * 60), 0x90,
                                              uint8_t(48 + (block * 3 + n) % 36), 100);
            clap_test_instance_queue_midi(instance.get(), 200, 0x80,
                                          uint8_t(48 + (block * 3 + 35) % 36), 0);
            clap_test_instance_queue_midi(instance.get(), 255, 0xB0, 64, block % 2 ? 127 : 0);
            AllocationCounter counter;
            clap_test_instance_process(instance.get(), 256, left.data(), right.data());
            allocations += counter.count();
        }
        EXPECT_EQ(allocations, 0u) << rate;
    }
}

TEST_F(ClapHostTest, SavedStateBringsBackEveryParameterAndTheSound) {
    Instance first = create();
    ASSERT_TRUE(first);
    ASSERT_TRUE(clap_test_instance_activate(first.get(), 48000.0, 256));
    const clap_id cutoff = paramId(first.get(), ParameterTypeLpfCutoffFrequency);
    const clap_id waveform = paramId(first.get(), ParameterTypeOscillatorWaveform);
    clap_test_instance_queue_param(first.get(), 0, cutoff, 900.0);
    clap_test_instance_queue_param(first.get(), 0, waveform, 2.0);
    Recording ignored;
    run(first.get(), ignored, 256);
    uint8_t* data = nullptr;
    size_t size = 0;
    ASSERT_TRUE(clap_test_instance_save(first.get(), &data, &size));
    std::unique_ptr<uint8_t, decltype(&std::free)> saved(data, &std::free);

    Instance second = create();
    ASSERT_TRUE(second);
    ASSERT_TRUE(clap_test_instance_load(second.get(), saved.get(), size));
    const auto* params = static_cast<const clap_plugin_params_t*>(
        clap_test_instance_extension(second.get(), CLAP_EXT_PARAMS));
    double value = 0.0;
    ASSERT_TRUE(params->get_value(clap_test_instance_plugin(second.get()), cutoff, &value));
    EXPECT_EQ(value, 900.0);
    ASSERT_TRUE(params->get_value(clap_test_instance_plugin(second.get()), waveform, &value));
    EXPECT_EQ(value, 2.0);

    // The restored instance plays as one given the same values by events.
    Instance third = create();
    ASSERT_TRUE(third);
    ASSERT_TRUE(clap_test_instance_activate(second.get(), 48000.0, 256));
    ASSERT_TRUE(clap_test_instance_activate(third.get(), 48000.0, 256));
    clap_test_instance_queue_param(third.get(), 0, cutoff, 900.0);
    clap_test_instance_queue_param(third.get(), 0, waveform, 2.0);
    Recording restored, given;
    for (auto [instance, out] : {std::pair{second.get(), &restored}, {third.get(), &given}}) {
        clap_test_instance_queue_midi(instance, 10, 0x90, 57, 100);
        for (int block = 0; block < 40; ++block)
            run(instance, *out, 256);
    }
    EXPECT_EQ(restored.left, given.left);
    EXPECT_GT(analysis::peak(restored.left, 0, restored.left.size()), 0.01);
}

TEST_F(ClapHostTest, BadEventsValuesAndBlocksAreSkippedOrClampedNeverANaN) {
    Instance instance = create();
    ASSERT_TRUE(instance);
    ASSERT_TRUE(clap_test_instance_activate(instance.get(), 48000.0, 256));
    const clap_id cutoff = paramId(instance.get(), ParameterTypeLpfCutoffFrequency);
    Recording out;
    clap_test_instance_queue_param(instance.get(), 0, cutoff,
                                   std::numeric_limits<double>::quiet_NaN());
    clap_test_instance_queue_param(instance.get(), 0, cutoff, 1e12);
    clap_test_instance_queue_param(instance.get(), 0, 9999, 1.0); // no such parameter
    clap_test_instance_queue_midi(instance.get(), 200, 0x90, 60, 100);
    clap_test_instance_queue_midi(instance.get(), 20, 0x90, 64, 100);   // out of order
    clap_test_instance_queue_midi(instance.get(), 5000, 0x90, 67, 100); // past the block
    clap_test_instance_queue_midi(instance.get(), 30, 0x40, 1, 2);      // no status byte
    run(instance.get(), out, 256);
    run(instance.get(), out, 0);
    run(instance.get(), out, 20000); // far more than announced
    clap_test_instance_process(instance.get(), 256, nullptr, nullptr);
    EXPECT_EQ(nonFiniteCount(out.left) + nonFiniteCount(out.right), 0u);
    EXPECT_GT(analysis::peak(out.left, 0, out.left.size()), 0.01);
    double value = 0.0;
    const auto* params = static_cast<const clap_plugin_params_t*>(
        clap_test_instance_extension(instance.get(), CLAP_EXT_PARAMS));
    ASSERT_TRUE(params->get_value(clap_test_instance_plugin(instance.get()), cutoff, &value));
    ParameterDescription row{};
    DspGetParameterDescription(ParameterTypeLpfCutoffFrequency, &row);
    EXPECT_EQ(value, double(float(row.maxValue))) << "clamped to the table's range";
}

// Random event lists as a careless or broken host might send them, through the plugin's own
// entry: unsorted times, times past the block, unknown parameters, NaN and infinite values and
// velocities, notes on other ports, events of the wrong size or event space, blocks of every
// length. DPF's wrapper alone would write past its arrays for an unknown parameter; through the
// entry's filter nothing crashes and no NaN comes out.
TEST_F(ClapHostTest, RandomlySpoiledEventListsNeverCrashOrPutOutANaN) {
    Instance instance = create();
    ASSERT_TRUE(instance);
    ASSERT_TRUE(clap_test_instance_activate(instance.get(), 48000.0, 512));
    std::mt19937 random(23);
    const double values[] = {0.0, 0.5, 1.0, 7.0, -1e9, 1e9, NAN, INFINITY, -INFINITY};
    Recording out;
    for (int block = 0; block < 400; ++block) {
        const uint32_t frames = random() % 8 == 0 ? 0 : random() % 1500;
        for (int n = int(random() % 12); n > 0; --n) {
            const uint32_t frame = random() % 1600;
            switch (random() % 3) {
            case 0:
                clap_test_instance_queue_note(instance.get(), frame, random() % 2,
                                              int16_t(random() % 3 == 0), int16_t(random() % 20),
                                              int16_t(random() % 140), values[random() % 9]);
                break;
            case 1:
                clap_test_instance_queue_midi(instance.get(), frame, uint8_t(random()),
                                              uint8_t(random()), uint8_t(random()));
                break;
            default:
                clap_test_instance_queue_param(instance.get(), frame, clap_id(random() % 40),
                                               values[random() % 9]);
            }
            if (random() % 10 == 0)
                clap_test_instance_spoil_last(instance.get(), uint32_t(random() % 64),
                                              uint16_t(random() % 2));
        }
        run(instance.get(), out, frames);
    }
    EXPECT_EQ(nonFiniteCount(out.left) + nonFiniteCount(out.right), 0u);
    const auto* params = static_cast<const clap_plugin_params_t*>(
        clap_test_instance_extension(instance.get(), CLAP_EXT_PARAMS));
    const clap_plugin_t* plugin = clap_test_instance_plugin(instance.get());
    for (uint32_t i = 0; i < params->count(plugin); ++i) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin, i, &info));
        double value = NAN;
        ASSERT_TRUE(params->get_value(plugin, info.id, &value));
        EXPECT_TRUE(value >= info.min_value && value <= info.max_value) << info.name << value;
    }
}

// The factory bank through the plugin's extension for it (the CLAP headers we build on have no
// preset discovery): the rows by the labels the LV2 presets and `corvena-render --list-presets`
// carry, and a load that sets every parameter to the row's value, on the next flush while the
// plugin does not process and on the next block while it does, without an allocator call there.
class ClapPresetTest : public ClapHostTest {
protected:
    static const corvena_clap_factory_presets_t* presets(ClapTestInstance* instance) {
        return static_cast<const corvena_clap_factory_presets_t*>(
            clap_test_instance_extension(instance, CORVENA_CLAP_EXT_FACTORY_PRESETS));
    }
    static size_t indexOf(const std::string& label) {
        for (size_t i = 0; i < FactoryPresets::count(); ++i)
            if (FactoryPresets::label(FactoryPresets::at(i)) == label)
                return i;
        ADD_FAILURE() << "no preset " << label;
        return 0;
    }
    // A C major triad at velocity 100 held for 40 blocks of 256 frames; the allocator calls the
    // blocks make are added to `allocations`.
    static Recording playTriad(ClapTestInstance* instance, uint64_t& allocations) {
        Recording out;
        out.left.resize(40 * 256);
        out.right.resize(40 * 256);
        for (uint32_t block = 0; block < 40; ++block) {
            if (block == 1)
                for (uint8_t key : {60, 64, 67})
                    clap_test_instance_queue_midi(instance, 0, 0x90, key, 100);
            AllocationCounter counter;
            clap_test_instance_process(instance, 256, &out.left[block * 256],
                                       &out.right[block * 256]);
            allocations += counter.count();
        }
        return out;
    }
};

TEST_F(ClapPresetTest, TheBankIsListedByTheTablesLabels) {
    Instance instance = create();
    ASSERT_TRUE(instance);
    const corvena_clap_factory_presets_t* bank = presets(instance.get());
    ASSERT_NE(bank, nullptr);
    const clap_plugin_t* plugin = clap_test_instance_plugin(instance.get());
    ASSERT_EQ(bank->count(plugin), FactoryPresets::count());
    for (uint32_t i = 0; i < bank->count(plugin); ++i) {
        char label[64] = "";
        ASSERT_TRUE(bank->get_label(plugin, i, label, sizeof label));
        EXPECT_EQ(std::string(label), FactoryPresets::label(FactoryPresets::at(i)));
    }
    char shortLabel[5] = "";
    ASSERT_TRUE(bank->get_label(plugin, uint32_t(indexOf("Bass: Round Sub")), shortLabel,
                                sizeof shortLabel));
    EXPECT_STREQ(shortLabel, "Bass");
    EXPECT_FALSE(bank->get_label(plugin, bank->count(plugin), shortLabel, sizeof shortLabel));
    EXPECT_FALSE(bank->load(plugin, bank->count(plugin)));
}

TEST_F(ClapPresetTest, ALoadSetsEveryParameterToTheRowsValueOnTheNextFlush) {
    Instance instance = create();
    ASSERT_TRUE(instance);
    const clap_plugin_t* plugin = clap_test_instance_plugin(instance.get());
    const corvena_clap_factory_presets_t* bank = presets(instance.get());
    ASSERT_NE(bank, nullptr);
    const auto* params = static_cast<const clap_plugin_params_t*>(
        clap_test_instance_extension(instance.get(), CLAP_EXT_PARAMS));
    struct Reported {
        uint32_t count = 0;
    } reported;
    const clap_output_events_t out = {
        &reported, [](const clap_output_events_t* list, const clap_event_header_t* event) {
            if (event->type == CLAP_EVENT_PARAM_VALUE)
                ++static_cast<Reported*>(list->ctx)->count;
            return true;
        }};
    const clap_input_events_t none = {
        nullptr, [](const clap_input_events_t*) -> uint32_t { return 0; },
        [](const clap_input_events_t*, uint32_t) -> const clap_event_header_t* { return nullptr; }};
    // Every row after every other, so no row passes on what the one before it left.
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        ASSERT_TRUE(bank->load(plugin, uint32_t(i)));
        reported.count = 0;
        params->flush(plugin, &none, &out);
        EXPECT_EQ(reported.count, PortMap::controlCount()) << "values reported to the host";
        for (uint32_t c = 0; c < PortMap::controlCount(); ++c) {
            const ParameterType type = PortMap::parameterOf(PortMap::firstControl + c);
            ParameterDescription row{};
            ASSERT_TRUE(DspGetParameterDescription(type, &row));
            double value = NAN;
            ASSERT_TRUE(params->get_value(plugin, paramId(instance.get(), type), &value));
            EXPECT_NEAR(value, FactoryPresets::value(preset, type),
                        1e-5 * (row.maxValue - row.minValue))
                << FactoryPresets::label(preset) << ": " << row.name;
        }
    }
    // A flush with nothing pending reports nothing.
    reported.count = 0;
    params->flush(plugin, &none, &out);
    EXPECT_EQ(reported.count, 0u);
}

TEST_F(ClapPresetTest, ALoadedPresetPlaysItsOwnSoundAndTheHostsEventsInItsBlockWin) {
    Instance init = create(), sub = create();
    ASSERT_TRUE(init && sub);
    for (ClapTestInstance* instance : {init.get(), sub.get()}) {
        ASSERT_TRUE(clap_test_instance_activate(instance, 48000.0, 256));
        std::vector<float> left(256), right(256);
        clap_test_instance_process(instance, 256, left.data(), right.data());
    }
    const clap_plugin_t* subPlugin = clap_test_instance_plugin(sub.get());
    ASSERT_TRUE(presets(sub.get())->load(subPlugin, uint32_t(indexOf("Bass: Round Sub"))));
    // The host's own value in the block that applies the row overrides the row's.
    const clap_id level = paramId(sub.get(), ParameterTypeMasterOutputLevel);
    clap_test_instance_queue_param(sub.get(), 0, level, 0.25);
    uint64_t allocations = 0;
    const Recording initSound = playTriad(init.get(), allocations);
    const Recording subSound = playTriad(sub.get(), allocations);
    EXPECT_EQ(allocations, 0u) << "while playing";
    const auto* params = static_cast<const clap_plugin_params_t*>(
        clap_test_instance_extension(sub.get(), CLAP_EXT_PARAMS));
    double value = NAN;
    ASSERT_TRUE(params->get_value(subPlugin, level, &value));
    EXPECT_EQ(value, 0.25);

    const size_t frames = initSound.left.size();
    const double initRms = analysis::rms(initSound.left, 2 * 256, frames);
    const double subRms = analysis::rms(subSound.left, 2 * 256, frames);
    EXPECT_GT(subRms, 1e-3);
    double difference = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double d = double(subSound.left[i]) - double(initSound.left[i]);
        difference += d * d;
    }
    EXPECT_GT(std::sqrt(difference / double(frames)), 0.1 * std::max(initRms, subRms))
        << "Bass: Round Sub plays as Init does";

    // Rows loaded between the blocks of a playing instance: the blocks never allocate.
    std::vector<float> left(256), right(256);
    allocations = 0;
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        ASSERT_TRUE(presets(init.get())->load(clap_test_instance_plugin(init.get()), uint32_t(i)));
        clap_test_instance_queue_midi(init.get(), 0, 0x90, uint8_t(48 + i % 24), 100);
        AllocationCounter counter;
        clap_test_instance_process(init.get(), 256, left.data(), right.data());
        allocations += counter.count();
    }
    EXPECT_EQ(allocations, 0u) << "in the blocks after a load";
}

// A picture of the screen, 0xRRGGBB per pixel.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;

    double channel(int px, int py, int c) const {
        return double((rgb[size_t(py) * size_t(width) + size_t(px)] >> (16 - 8 * c)) & 0xffu);
    }
};

// What the window shows once drawing has settled: the same pixels on two grabs in a row, with
// the window's timer run in between (that is where it draws), and not one colour all over.
Picture settledPicture(ClapTestInstance* instance, const TestHostWindow& window, int width,
                       int height) {
    Picture last{width, height, {}};
    waitFor(
        [&] {
            clap_test_instance_idle_window(instance);
            std::vector<uint32_t> now = window.pixels(width, height);
            const bool settled =
                !now.empty() && now == last.rgb &&
                std::any_of(now.begin(), now.end(), [&](uint32_t p) { return p != now[0]; });
            last.rgb = std::move(now);
            return settled;
        },
        10s);
    return last;
}

// `picture` stretched to width × height (bilinear): what a window shows that scales up a
// picture drawn for ×1.
Picture stretched(const Picture& picture, int width, int height) {
    Picture out{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
    const double sx = double(picture.width) / width, sy = double(picture.height) / height;
    for (int py = 0; py < height; ++py) {
        const double y = std::clamp((py + 0.5) * sy - 0.5, 0.0, picture.height - 1.0);
        const int y0 = std::min(int(y), picture.height - 2);
        for (int px = 0; px < width; ++px) {
            const double x = std::clamp((px + 0.5) * sx - 0.5, 0.0, picture.width - 1.0);
            const int x0 = std::min(int(x), picture.width - 2);
            uint32_t pixel = 0;
            for (int c = 0; c < 3; ++c) {
                const double top =
                    picture.channel(x0, y0, c) +
                    (x - x0) * (picture.channel(x0 + 1, y0, c) - picture.channel(x0, y0, c));
                const double bottom = picture.channel(x0, y0 + 1, c) +
                                      (x - x0) * (picture.channel(x0 + 1, y0 + 1, c) -
                                                  picture.channel(x0, y0 + 1, c));
                const double v = top + (y - y0) * (bottom - top);
                pixel = (pixel << 8) | uint32_t(std::lround(std::clamp(v, 0.0, 255.0)));
            }
            out.rgb[size_t(py) * size_t(width) + size_t(px)] = pixel;
        }
    }
    return out;
}

double meanDifference(const Picture& a, const Picture& b) {
    double sum = 0.0;
    for (int py = 0; py < a.height; ++py)
        for (int px = 0; px < a.width; ++px)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(a.channel(px, py, c) - b.channel(px, py, c));
    return sum / (3.0 * a.width * a.height);
}

// Squared steps between neighbouring pixels, per pixel. A sharp edge puts its whole contrast
// into one step; stretched, the same edge spreads it over several smaller ones, which this
// counts for less.
double edgeEnergy(const Picture& picture) {
    double sum = 0.0;
    for (int py = 0; py + 1 < picture.height; ++py)
        for (int px = 0; px + 1 < picture.width; ++px)
            for (int c = 0; c < 3; ++c) {
                const double here = picture.channel(px, py, c);
                const double right = picture.channel(px + 1, py, c) - here;
                const double below = picture.channel(px, py + 1, c) - here;
                sum += right * right + below * below;
            }
    return sum / (double(picture.width) * picture.height);
}

// The window as a host embeds it: created in a window of the host's on an X display, sized to
// the panel, idled through the timer it registers, then hidden and destroyed, a hundred times
// over in one instance and in fresh ones, with the sound still playing afterwards.
TEST_F(ClapHostTest, TheWindowOpensInsideTheHostsWindowAndClosesAHundredTimes) {
    XvfbDisplay xvfb;
    ASSERT_FALSE(xvfb.name().empty()) << xvfb.error();
    setenv("DISPLAY", xvfb.name().c_str(), 1);
    const TestHostWindow parentWindow(xvfb.name(), 480, 360);
    ASSERT_TRUE(parentWindow.ok());
    const unsigned long parent = parentWindow.id();

    Instance instance = create();
    ASSERT_TRUE(clap_test_instance_activate(instance.get(), 44100.0, 512));
    // Heap in use after rounds 10, 55 and 100.
    std::vector<double> heap;
    for (int round = 0; round < 100; ++round) {
        uint32_t width = 0, height = 0;
        ASSERT_TRUE(clap_test_instance_open_window(instance.get(), parent, 0.0, &width, &height))
            << "round " << round;
        EXPECT_EQ(width, 480u);
        EXPECT_EQ(height, 360u);
        EXPECT_TRUE(clap_test_instance_idle_window(instance.get()));
        clap_test_instance_close_window(instance.get());
        EXPECT_FALSE(clap_test_instance_window_timer_registered(instance.get()))
            << "a closed window leaves no timer running";
        if (round == 9 || round == 54 || round == 99)
            heap.push_back(double(mallinfo2().uordblks));
    }
    // The first rounds fill caches (fonts, the X connections'), and a cache may take its share
    // at any later round too: a window that keeps memory shows in both halves, a cache in one.
    // Text drawn straight on a window's X11 surface made cairo keep about 5 kB of each window
    // (its glyph cache for the window's X connection); what is left now is tens of bytes.
    const double growthPerRound = std::min(heap[1] - heap[0], heap[2] - heap[1]) / 45.0;
    std::printf("heap growth per open and close: %.0f bytes\n", growthPerRound);
    EXPECT_LT(growthPerRound, 1024.0) << "bytes kept by each window opened and closed";
    // The plugin still plays after all that.
    Recording out;
    clap_test_instance_queue_midi(instance.get(), 0, 0x90, 60, 100);
    for (int block = 0; block < 20; ++block)
        run(instance.get(), out, 512);
    EXPECT_GT(*std::max_element(out.left.begin(), out.left.end()), 0.01f);

    // A window left open goes with its instance.
    for (int round = 0; round < 10; ++round) {
        Instance other = create();
        uint32_t width = 0, height = 0;
        ASSERT_TRUE(clap_test_instance_open_window(other.get(), parent, 0.0, &width, &height));
        clap_test_instance_idle_window(other.get());
    }
}

// A host on a high-density screen gives its scale: the window grows by it and draws the panel
// afresh at that size, so it is the same picture as at ×1 but as sharp as the screen allows,
// not a ×1 picture stretched; and a click lands on the key under it at that scale.
TEST_F(ClapHostTest, TheWindowFollowsTheHostsScaleAndIsDrawnAtIt) {
    XvfbDisplay xvfb;
    ASSERT_FALSE(xvfb.name().empty()) << xvfb.error();
    setenv("DISPLAY", xvfb.name().c_str(), 1);
    std::map<double, Picture> shown;
    for (double scale : {1.0, 1.5, 2.0}) {
        const int width = int(std::lround(480 * scale)), height = int(std::lround(360 * scale));
        const TestHostWindow parentWindow(xvfb.name(), width, height);
        ASSERT_TRUE(parentWindow.ok());
        Instance instance = create();
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(
            clap_test_instance_open_window(instance.get(), parentWindow.id(), scale, &w, &h))
            << scale;
        EXPECT_EQ(w, uint32_t(width)) << scale;
        EXPECT_EQ(h, uint32_t(height)) << scale;
        shown[scale] = settledPicture(instance.get(), parentWindow, width, height);

        // Held near the bottom of the lowest key, clear of the black keys: middle C.
        ASSERT_TRUE(clap_test_instance_activate(instance.get(), 44100.0, 512));
        ASSERT_TRUE(parentWindow.pressEmbedded(int(10 * scale), int(350 * scale), true));
        Recording out;
        waitFor(
            [&] {
                clap_test_instance_idle_window(instance.get());
                run(instance.get(), out, 512);
                return *std::max_element(out.left.begin(), out.left.end()) > 0.01f;
            },
            5s);
        for (int block = 0; block < 40; ++block)
            run(instance.get(), out, 512);
        EXPECT_NEAR(analysis::frequencyByZeroCrossings(out.left, out.left.size() - 16384,
                                                       out.left.size(), 44100.0),
                    261.63, 0.5)
            << "the lowest key held at x" << scale;
        parentWindow.pressEmbedded(int(10 * scale), int(350 * scale), false);
        clap_test_instance_close_window(instance.get());
        ASSERT_FALSE(shown[scale].rgb.empty()) << scale;
    }
    for (double scale : {1.5, 2.0}) {
        const Picture& window = shown[scale];
        const Picture stretchedOne = stretched(shown[1.0], window.width, window.height);
        const double difference = meanDifference(window, stretchedOne);
        const double sharpness = edgeEnergy(window) / edgeEnergy(stretchedOne);
        std::printf("x%.1f: mean difference from x1 stretched %.2f, edge energy ratio %.2f\n",
                    scale, difference, sharpness);
        EXPECT_LT(difference, 4.0) << "the panel at x" << scale;
        EXPECT_GT(sharpness, 1.2) << "drawn at x" << scale << ", not stretched from x1";
    }
}

} // namespace
