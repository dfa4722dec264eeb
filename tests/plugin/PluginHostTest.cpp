// The plugin under lilv, the reference host library, loaded from its bundle (the build tree's,
// or the installed one named by CORVENA_LV2_BUNDLE): its ports are the engine's table, two
// instances in one process play the same MIDI bit for bit and on the frame it was stamped,
// the latency port tells the converter's delay, and every bad input of a host is refused with
// one line on stderr, or clamped or skipped, never crashing and never putting out a NaN.
#include "ChainLevel.h"
#include "EngineDriver.h"
#include "EngineResampler.h"
#include "LilvTestHost.h"
#include "MidiEventMapper.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/port-props/port-props.h>
#include <lv2/units/units.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

size_t nonFiniteCount(const std::vector<float>& samples) {
    size_t count = 0;
    for (float x : samples)
        count += std::isfinite(x) ? 0 : 1;
    return count;
}

// MIDI at absolute frames, played into an instance in blocks of the given sizes.
struct ScoreEvent {
    uint64_t frame;
    Bytes bytes;
};

void play(LilvTestHost::Instance& instance, const std::vector<ScoreEvent>& score, size_t frames,
          const std::vector<uint32_t>& blocks) {
    size_t done = 0;
    for (size_t b = 0; done < frames; ++b) {
        const auto n = uint32_t(std::min<size_t>(blocks[b % blocks.size()], frames - done));
        for (const ScoreEvent& event : score)
            if (event.frame >= done && event.frame < done + n)
                instance.queueMidi(int64_t(event.frame - done), event.bytes);
        instance.run(n);
        done += n;
    }
}

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.plugin(), nullptr)
            << "no " << LilvTestHost::pluginUri << " in " << host.bundle();
    }

    LilvTestHost host{LilvTestHost::bundleUnderTest()};
};

TEST_F(PluginHostTest, PortsAreTheEnginesParameterTable) {
    LilvWorld* world = host.world();
    const LilvPlugin* plugin = host.plugin();
    auto uri = [world](const char* text) { return lilv_new_uri(world, text); };
    LilvNode* midiEvent = uri(LV2_MIDI__MidiEvent);
    LilvNode* latency = uri(LV2_CORE__latency);
    LilvNode* unit = uri(LV2_UNITS__unit);
    LilvNode* integer = uri(LV2_CORE__integer);
    LilvNode* enumeration = uri(LV2_CORE__enumeration);
    LilvNode* toggled = uri(LV2_CORE__toggled);
    LilvNode* logarithmic = uri(LV2_PORT_PROPS__logarithmic);
    LilvNode* mapFeature = uri(LV2_URID__map);

    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), 24u) << "MIDI, two audio, latency, 20 controls";
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_TRUE(lilv_nodes_contains(required, mapFeature));
    lilv_nodes_free(required);
    // Hosts keep connections by symbol; the indices are the order DPF's wrapper connects in.
    auto portBySymbol = [&](const char* symbol) {
        LilvNode* node = lilv_new_string(world, symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, node);
        lilv_node_free(node);
        return port;
    };
    const LilvPort* midiIn = portBySymbol("midi_in");
    ASSERT_NE(midiIn, nullptr);
    EXPECT_TRUE(lilv_port_supports_event(plugin, midiIn, midiEvent));
    EXPECT_EQ(lilv_port_get_index(plugin, midiIn), 2u);
    for (const char* output : {"out_left", "out_right"}) {
        const LilvPort* audio = portBySymbol(output);
        ASSERT_NE(audio, nullptr) << output;
        EXPECT_LT(lilv_port_get_index(plugin, audio), 2u) << output;
    }
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), 3u);
    EXPECT_TRUE(lilv_plugin_has_latency(plugin));

    const char* units[][2] = {{"Hz", LV2_UNITS__hz},
                              {"s", LV2_UNITS__s},
                              {"octaves", LV2_UNITS__oct},
                              {"semitones", LV2_UNITS__semitone12TET}};
    uint32_t port = 4;
    for (ParameterType type = 1; type < ParameterTypeCount; ++type) {
        if (type == ParameterTypePitchBend || type == ParameterTypeVcaLfoFrequency)
            continue; // from MIDI only; read by no unit
        ParameterDescription row{};
        ASSERT_TRUE(DspGetParameterDescription(type, &row));
        const LilvPort* p = lilv_plugin_get_port_by_index(plugin, port);
        ASSERT_NE(p, nullptr) << port;
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, p)), row.symbol);
        LilvNode* name = lilv_port_get_name(plugin, p);
        EXPECT_STREQ(lilv_node_as_string(name), row.name);
        lilv_node_free(name);
        LilvNode *deflt = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, p, &deflt, &min, &max);
        EXPECT_EQ(lilv_node_as_float(min), float(row.minValue)) << row.symbol;
        EXPECT_EQ(lilv_node_as_float(max), float(row.maxValue)) << row.symbol;
        EXPECT_EQ(lilv_node_as_float(deflt), float(row.defaultValue)) << row.symbol;
        lilv_node_free(deflt);
        lilv_node_free(min);
        lilv_node_free(max);
        LilvNodes* portUnits = lilv_port_get_value(plugin, p, unit);
        const char* expectedUnit = nullptr;
        for (auto& u : units)
            if (std::string(row.unit) == u[0])
                expectedUnit = u[1];
        if (expectedUnit != nullptr) {
            ASSERT_EQ(lilv_nodes_size(portUnits), 1u) << row.symbol;
            EXPECT_STREQ(lilv_node_as_uri(lilv_nodes_get_first(portUnits)), expectedUnit);
        } else {
            EXPECT_EQ(lilv_nodes_size(portUnits), 0u) << row.symbol;
        }
        lilv_nodes_free(portUnits);

        const bool isToggle = row.steps == 2;
        const bool isInteger = row.curve != DspParameterCurvePower && row.steps > 2 &&
                               row.maxValue - row.minValue == double(row.steps - 1);
        EXPECT_EQ(lilv_port_has_property(plugin, p, toggled), isToggle) << row.symbol;
        EXPECT_EQ(lilv_port_has_property(plugin, p, integer), isInteger) << row.symbol;
        EXPECT_EQ(lilv_port_has_property(plugin, p, enumeration),
                  isInteger && row.valueLabels != nullptr)
            << row.symbol;
        EXPECT_EQ(lilv_port_has_property(plugin, p, logarithmic),
                  row.curve == DspParameterCurvePower && row.minValue > 0.0)
            << row.symbol;
        ++port;
    }
    EXPECT_EQ(port, 24u);

    // The waveform's positions by name, as the table gives them.
    LilvScalePoints* points =
        lilv_port_get_scale_points(plugin, lilv_plugin_get_port_by_index(plugin, 4));
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(lilv_scale_points_size(points), 6u);
    ParameterDescription waveform{};
    DspGetParameterDescription(ParameterTypeOscillatorWaveform, &waveform);
    LILV_FOREACH(scale_points, i, points) {
        const LilvScalePoint* point = lilv_scale_points_get(points, i);
        const int value = lilv_node_as_int(lilv_scale_point_get_value(point));
        ASSERT_GE(value, 0);
        ASSERT_LT(value, 6);
        EXPECT_STREQ(lilv_node_as_string(lilv_scale_point_get_label(point)),
                     waveform.valueLabels[value]);
    }
    lilv_scale_points_free(points);

    for (LilvNode* node :
         {midiEvent, latency, unit, integer, enumeration, toggled, logarithmic, mapFeature})
        lilv_node_free(node);
}

// The score the instance tests play: a note, a chord, the pedal, a bend and note offs, at frames
// anywhere within blocks.
const std::vector<ScoreEvent> score = {
    {1380, {0x90, 60, 100}},  {9000, {0x91, 64, 90}}, {9000, {0x91, 67, 90}},
    {15000, {0xB0, 64, 127}}, {16000, {0x80, 60, 0}}, {17003, {0xE0, 0x00, 0x60}},
    {26000, {0xB0, 64, 0}},   {30001, {0x91, 64, 0}}, {30001, {0x81, 67, 0}},
};

TEST_F(PluginHostTest, TwoInstancesPlayTheSameMidiBitIdenticallyOnTheFramesItWasStamped) {
    auto a = host.instantiate(44100.0);
    auto b = host.instantiate(44100.0);
    ASSERT_TRUE(a && b);
    play(*a, score, 40000, {256});
    play(*b, score, 40000, {256});
    EXPECT_EQ(a->left, b->left);
    EXPECT_EQ(a->right, b->right);
    EXPECT_EQ(a->latency(), 0.0f);
    EXPECT_EQ(nonFiniteCount(a->left) + nonFiniteCount(a->right), 0u);

    // The engine played directly, each event acting on its frame (stamped the engine's latency
    // before it).
    EngineDriver direct;
    MidiEventMapper mapper(direct.handle());
    for (const ScoreEvent& event : score)
        mapper.map(event.bytes.data(), event.bytes.size(),
                   double(event.frame) - double(DspEventLatencySamples));
    const EngineDriver::Stereo reference = direct.render(40000, 256);
    EXPECT_EQ(a->left, reference.left);
    EXPECT_EQ(a->right, reference.right);
    // Silent to the note's frame; the sine starts at phase 0, so its first sample is 0.
    EXPECT_EQ(analysis::firstAbove(a->left, 0.0), 1381u);
}

TEST_F(PluginHostTest, AtOtherRatesTheOutputIsTheEnginesThroughTheConverterInTuneAndClean) {
    auto native = host.instantiate(44100.0);
    ASSERT_TRUE(native);
    play(*native, {{4410, {0x90, 69, 100}}}, 44100, {441});
    const double nativeResidual =
        analysis::residualAfterTone(native->left, 8820, 44100, 440.0, 44100.0);
    for (double rate : {22050.0, 48000.0, 96000.0, 192000.0}) {
        const auto frames = size_t(rate);
        const auto block = uint32_t(rate / 50); // a whole number of blocks in a second
        const uint32_t noteFrame = 5 * block + 50;
        auto a = host.instantiate(rate);
        ASSERT_TRUE(a) << rate;
        play(*a, {{noteFrame, {0x90, 69, 100}}}, frames, {block});

        EngineDriver engine;
        EngineResampler resampler(engine.handle(), rate);
        MidiEventMapper mapper(engine.handle());
        std::vector<float> left(frames), right(frames);
        const Bytes note = {0x90, 69, 100};
        for (size_t done = 0; done < frames; done += block) {
            if (done == noteFrame - 50)
                mapper.map(note.data(), 3, resampler.stampForHostFrame(50));
            resampler.render(left.data() + done, right.data() + done, block);
        }
        EXPECT_EQ(a->left, left) << rate;
        EXPECT_EQ(a->right, right) << rate;
        EXPECT_EQ(a->latency(), float(resampler.getLatencyFrames())) << rate;
        const size_t from = frames / 5;
        EXPECT_NEAR(analysis::frequencyByZeroCrossings(a->left, from, frames, rate), 440.0, 0.05)
            << rate;
        const double predicted = chain::predictedSineLevelAtDefaults(440.0, 100);
        EXPECT_NEAR(analysis::amplitudeAt(a->left, from, frames, 440.0, rate), predicted,
                    predicted * 0.005)
            << rate;
        // The converter adds nothing audible to what the engine plays at its own rate.
        const double residual = analysis::residualAfterTone(a->left, from, frames, 440.0, rate);
        RecordProperty("residual_db_at_" + std::to_string(int(rate)),
                       std::to_string(int(std::round(residual))));
        EXPECT_LT(residual, std::max(nativeResidual + 1.0, -100.0)) << rate;
        // The onset, delayed by the reported latency.
        const size_t onset = analysis::firstAbove(a->left, 1e-3 * predicted);
        EXPECT_NEAR(double(onset), double(noteFrame) + a->latency(), 1.0 + 2.0 * rate / 44100.0)
            << rate;
    }
}

TEST_F(PluginHostTest, TheLatencyPortTellsTheConvertersDelayAndNothingAt44100) {
    EngineDriver engine;
    for (double rate : {44100.0, 22050.0, 32000.0, 48000.0, 96000.0, 192000.0}) {
        auto instance = host.instantiate(rate);
        ASSERT_TRUE(instance) << rate;
        instance->run(0); // hosts may ask with an empty block
        const EngineResampler resampler(engine.handle(), rate);
        EXPECT_EQ(instance->latency(), float(resampler.getLatencyFrames())) << rate;
        EXPECT_EQ(instance->latency() == 0.0f, rate == 44100.0) << rate;
    }
}

TEST_F(PluginHostTest, BlocksOfAnyLengthIncludingEmptyAndHugeOnesGiveTheSameSound) {
    auto a = host.instantiate(48000.0);
    auto b = host.instantiate(48000.0);
    ASSERT_TRUE(a && b);
    play(*a, score, 40000, {256});
    b->run(0);
    play(*b, score, 40000, {8192, 0, 1, 20000, 3000, 0});
    EXPECT_EQ(a->left, b->left);
    EXPECT_EQ(a->right, b->right);
}

TEST_F(PluginHostTest, BadMidiIsSkippedAndTheRestPlays) {
    auto bad = host.instantiate(44100.0);
    auto good = host.instantiate(44100.0);
    ASSERT_TRUE(bad && good);
    const LV2_URID midi = host.map(LV2_MIDI__MidiEvent);
    const LV2_URID other = host.map("urn:corvena:test:not-midi");
    bad->queueMidi(10, {0x90, 60, 100});
    bad->queueMidi(11, {0x90, 62});                  // short
    bad->queueMidi(12, {0x90, 63, 100, 0});          // long
    bad->queueMidi(13, {0x40, 64, 100});             // no status byte
    bad->queueRawEvent(14, 3, other, {0x90, 65, 1}); // not MIDI
    bad->queueMidi(50, {0x90, 66, 100});
    bad->queueMidi(20, {0x90, 67, 100});  // before the previous one: held to frame 50
    bad->queueMidi(300, {0x90, 68, 100}); // past the 256-frame block
    bad->run(256);
    bad->queueMidi(-5, {0x90, 69, 100}); // before the block: taken as its start
    bad->queueMidi(3, {0x90, 70, 100});
    bad->queueRawEvent(4, 100000, midi, {0x90, 71, 100}); // runs past the sequence
    bad->queueMidi(5, {0x90, 72, 100});                   // after it: never reached
    bad->run(256);
    bad->runBlocks(8192, 256);

    good->queueMidi(10, {0x90, 60, 100});
    good->queueMidi(50, {0x90, 66, 100});
    good->queueMidi(50, {0x90, 67, 100});
    good->run(256);
    good->queueMidi(0, {0x90, 69, 100});
    good->queueMidi(3, {0x90, 70, 100});
    good->run(256);
    good->runBlocks(8192, 256);
    EXPECT_EQ(bad->left, good->left);
    EXPECT_EQ(bad->right, good->right);
    EXPECT_GT(analysis::peak(bad->left, 0, bad->left.size()), 0.01);
}

TEST_F(PluginHostTest, ControlValuesOutOfRangeAreClampedAndNaNIsIgnored) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    auto bad = host.instantiate(44100.0);
    auto good = host.instantiate(44100.0);
    ASSERT_TRUE(bad && good);
    bad->setControl("waveform", -7.0f);
    bad->setControl("cutoff", 1e9f);
    bad->setControl("attack", -1.0f);
    bad->setControl("decay", infinity);
    bad->setControl("sustain", 0.5f);
    bad->setControl("release", nan); // never set: the default stays
    good->setControl("waveform", 0.0f);
    good->setControl("cutoff", 20000.0f);
    good->setControl("attack", 0.01f);
    good->setControl("decay", 10.0f);
    good->setControl("sustain", 0.5f);
    for (auto* instance : {bad.get(), good.get()}) {
        instance->queueMidi(0, {0x90, 57, 127});
        instance->runBlocks(4096, 512);
    }
    bad->setControl("cutoff", nan); // ignored: 20000 Hz stays
    bad->setControl("sustain", -infinity);
    good->setControl("sustain", 0.0f);
    for (auto* instance : {bad.get(), good.get()}) {
        instance->runBlocks(4096, 512);
        instance->queueMidi(0, {0x80, 57, 0});
        instance->runBlocks(22050, 512);
    }
    EXPECT_EQ(bad->left, good->left);
    EXPECT_EQ(bad->right, good->right);
    EXPECT_EQ(nonFiniteCount(bad->left) + nonFiniteCount(bad->right), 0u);
    EXPECT_GT(analysis::peak(bad->left, 0, 4096), 0.001);
    EXPECT_TRUE(std::isnan(bad->control("release"))) << "the plugin never writes its inputs";
}

TEST_F(PluginHostTest, UnconnectedPortsAreLeftAloneAndTheRestRuns) {
    auto partial = host.instantiate(44100.0);
    auto full = host.instantiate(44100.0);
    ASSERT_TRUE(partial && full);
    for (const char* symbol : {"out_left", "latency", "cutoff"})
        partial->disconnect(symbol);
    for (auto* instance : {partial.get(), full.get()}) {
        instance->queueMidi(7, {0x90, 60, 100});
        instance->runBlocks(8192, 256);
    }
    EXPECT_EQ(partial->right, full->right);
    EXPECT_EQ(partial->latency(), -1.0f) << "an unconnected output is not written";

    auto none = host.instantiate(48000.0);
    ASSERT_TRUE(none);
    for (const char* symbol : {"midi_in", "out_left", "out_right", "latency", "waveform"})
        none->disconnect(symbol);
    none->runBlocks(4096, 256);
}

// The plugin declares itself hard-real-time capable: run() may not call the allocator, whatever
// it plays — notes, chords past the eight voices (steals), controls, bend, pedal, silence.
TEST_F(PluginHostTest, RunMakesNoAllocatorCallWhateverItPlays) {
    for (double rate : {44100.0, 48000.0}) {
        auto instance = host.instantiate(rate);
        ASSERT_TRUE(instance);
        instance->runBlocks(1024, 256);
        for (int block = 0; block < 64; ++block) {
            instance->setControl("cutoff", 200.0f + 100.0f * float(block));
            instance->setControl("waveform", float(block % 5));
            instance->setControl("release", 0.05f);
            for (int n = 0; n < 3; ++n)
                instance->queueMidi(uint32_t(n * 60),
                                    {0x90, uint8_t(48 + (block * 3 + n) % 36), 100});
            instance->queueMidi(200, {0x80, uint8_t(48 + (block * 3 + 35) % 36), 0});
            instance->queueMidi(block % 256, {0xE0, 0x00, uint8_t(block)});
            instance->queueMidi(255, {0xB0, 64, uint8_t(block % 2 ? 127 : 0)});
            if (block % 16 == 15)
                instance->queueMidi(255, {0xB0, 123, 0});
            instance->run(block == 63 ? 20000 : 256);
        }
        EXPECT_EQ(instance->allocationsInRun, 0u) << rate;
        float loudest = 0.0f;
        for (float v : instance->left)
            loudest = std::max(loudest, std::fabs(v));
        EXPECT_GT(loudest, 0.01f) << "the notes sounded";
    }
}

TEST_F(PluginHostTest, DescriptionDeclaresHardRealTimeCapability) {
    std::ifstream ttl(LilvTestHost::bundleUnderTest() + "/corvena.ttl");
    const std::string text((std::istreambuf_iterator<char>(ttl)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("lv2:optionalFeature lv2:hardRTCapable"), std::string::npos);
}

TEST_F(PluginHostTest, NotesHeldWhenTheHostDeactivatesAreReleasedWhenItRunsAgain) {
    auto instance = host.instantiate(44100.0);
    ASSERT_TRUE(instance);
    instance->queueMidi(0, {0x90, 60, 100});
    instance->queueMidi(0, {0xB0, 64, 127});
    instance->runBlocks(4096, 256);
    instance->restart();
    instance->runBlocks(8192, 256);
    // Release is 10 ms: silent well within the 0.19 s after the restart.
    EXPECT_GT(analysis::peak(instance->left, 2048, 4096), 0.01);
    EXPECT_LT(analysis::peak(instance->left, 4096 + 2048, 4096 + 8192), 1e-6);
}

// The block length may change through the options interface; the rate may not: the instance
// keeps the rate it was made at (changing it would rebuild the engine under a running block).
TEST_F(PluginHostTest, OptionsTakeANewBlockLengthAndRefuseANewRate) {
    auto instance = host.instantiate(48000.0);
    ASSERT_TRUE(instance);
    const auto* options = static_cast<const LV2_Options_Interface*>(
        instance->descriptor()->extension_data(LV2_OPTIONS__interface));
    ASSERT_NE(options, nullptr);
    const int32_t block = 64;
    const float rate = 96000.0f;
    const LV2_Options_Option newBlock[] = {{LV2_OPTIONS_INSTANCE, 0,
                                            host.map(LV2_BUF_SIZE__nominalBlockLength),
                                            sizeof block, host.map(LV2_ATOM__Int), &block},
                                           {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Options_Option newRate[] = {{LV2_OPTIONS_INSTANCE, 0,
                                           host.map(LV2_PARAMETERS__sampleRate), sizeof rate,
                                           host.map(LV2_ATOM__Float), &rate},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    EXPECT_EQ(options->set(instance->handle(), newBlock), uint32_t(LV2_OPTIONS_SUCCESS));
    EXPECT_EQ(options->set(instance->handle(), newRate), uint32_t(LV2_OPTIONS_ERR_BAD_KEY));
    instance->queueMidi(0, {0x90, 69, 100});
    instance->runBlocks(48000, 64);
    EXPECT_EQ(instance->latency(),
              float(EngineResampler(EngineDriver().handle(), 48000.0).getLatencyFrames()));
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(instance->left, 9600, 48000, 48000.0), 440.0,
                0.05);
}

// --- Refusals -------------------------------------------------------------------------------

// What the plugin's own instantiate returns and writes on stderr for arguments of the test's
// choosing, past anything a host library would check.
struct Attempt {
    LV2_Handle handle = nullptr;
    std::string stderrText;
};

Attempt instantiateDirectly(const LV2_Descriptor* descriptor, double rate, const char* bundlePath,
                            const LV2_Feature* const* features) {
    Attempt attempt;
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* capture = std::tmpfile();
    dup2(fileno(capture), 2);
    attempt.handle = descriptor->instantiate(descriptor, rate, bundlePath, features);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::rewind(capture);
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, capture)) > 0)
        attempt.stderrText.append(buffer, n);
    std::fclose(capture);
    if (attempt.handle != nullptr)
        descriptor->cleanup(attempt.handle);
    return attempt;
}

// A bundle in a temporary directory: the description and library of the one under test, and
// wavetable files that a test may spoil.
class BundleCopy {
public:
    explicit BundleCopy(const std::string& name) {
        directory =
            fs::temp_directory_path() / ("corvena-lv2-" + name + "-" + std::to_string(getpid()));
        fs::remove_all(directory);
        fs::create_directories(directory / "Resources.bundle");
        const fs::path original = LilvTestHost::bundleUnderTest();
        for (const char* file : {"manifest.ttl", "corvena.ttl", "corvena.so"})
            fs::create_symlink(fs::absolute(original / file), directory / file);
        for (const char* file : {"data0.wt", "data1.wt"})
            fs::create_symlink(fs::absolute(original / "Resources.bundle" / file), table(file));
    }
    ~BundleCopy() { fs::remove_all(directory); }

    fs::path table(const char* file) const { return directory / "Resources.bundle" / file; }
    void remove(const char* file) const { fs::remove(table(file)); }
    void write(const char* file, size_t bytes, double value) const {
        fs::remove(table(file));
        std::ofstream out(table(file), std::ios::binary);
        for (size_t i = 0; i < bytes / sizeof value; ++i)
            out.write(reinterpret_cast<const char*>(&value), sizeof value);
    }
    std::string path() const { return directory.string() + "/"; }

private:
    fs::path directory;
};

constexpr size_t tableFileBytes = 500 * 2049 * 8;

TEST_F(PluginHostTest, WhatItCannotRunWithIsRefusedWithOneLineOnStderr) {
    auto instance = host.instantiate(44100.0);
    ASSERT_TRUE(instance);
    const LV2_Descriptor* descriptor = instance->descriptor();
    const std::string bundle = host.bundle() + "/";
    const LV2_Feature* const* withMap = host.features(true);

    const Attempt fine = instantiateDirectly(descriptor, 44100.0, bundle.c_str(), withMap);
    EXPECT_NE(fine.handle, nullptr);
    EXPECT_EQ(fine.stderrText, "") << "a good start says nothing";
    // DPF's wrapper needs the options feature for the block length; a host without it still
    // gets an instance, and hears nothing about it.
    const Attempt noOptions =
        instantiateDirectly(descriptor, 44100.0, bundle.c_str(), host.mapOnly());
    EXPECT_NE(noOptions.handle, nullptr);
    EXPECT_EQ(noOptions.stderrText, "");

    BundleCopy missing("missing");
    missing.remove("data1.wt");
    BundleCopy truncated("truncated");
    truncated.write("data0.wt", tableFileBytes / 2, 0.0);
    const std::string tooLong = "/tmp/" + std::string(300, 'x') + "/corvena.lv2/";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double rate;
        std::string path;
        const LV2_Feature* const* features;
        const char* says;
    } cases[] = {
        {"no urid:map", 44100.0, bundle, host.features(false), "urid:map"},
        {"no features at all", 44100.0, bundle, nullptr, "urid:map"},
        {"rate 0", 0.0, bundle, withMap, "sample rate"},
        {"negative rate", -44100.0, bundle, withMap, "sample rate"},
        {"NaN rate", nan, bundle, withMap, "sample rate"},
        {"absurd rate", 1e7, bundle, withMap, "sample rate"},
        {"path too long", 44100.0, tooLong, withMap, "too long"},
        {"missing table", 44100.0, missing.path(), withMap, "missing"},
        {"truncated table", 44100.0, truncated.path(), withMap, "damaged"},
    };
    for (const auto& c : cases) {
        const Attempt attempt = instantiateDirectly(descriptor, c.rate, c.path.c_str(), c.features);
        EXPECT_EQ(attempt.handle, nullptr) << c.what;
        const std::string& text = attempt.stderrText;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << c.what << ": " << text;
        EXPECT_EQ(text.rfind("corvena.lv2: ", 0), 0u) << c.what << ": " << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << c.what << ": " << text;
    }
    const Attempt noPath = instantiateDirectly(descriptor, 44100.0, nullptr, withMap);
    EXPECT_EQ(noPath.handle, nullptr);
    EXPECT_EQ(std::count(noPath.stderrText.begin(), noPath.stderrText.end(), '\n'), 1);
}

TEST_F(PluginHostTest, WavetablesFullOfNaNNeverPutANaNOut) {
    BundleCopy spoiled("nan");
    spoiled.write("data0.wt", tableFileBytes, std::numeric_limits<double>::quiet_NaN());
    spoiled.write("data1.wt", tableFileBytes, std::numeric_limits<double>::infinity());
    LilvTestHost spoiledHost(spoiled.path());
    ASSERT_NE(spoiledHost.plugin(), nullptr);
    auto instance = spoiledHost.instantiate(48000.0);
    if (!instance)
        GTEST_SUCCEED() << "refused at instantiation, which is sound too";
    else {
        // Triangle and sawtooth read the tables.
        for (float waveform : {1.0f, 2.0f, 3.0f}) {
            instance->setControl("waveform", waveform);
            instance->queueMidi(0, {0x90, 60, 100});
            instance->runBlocks(4096, 256);
        }
        EXPECT_EQ(nonFiniteCount(instance->left) + nonFiniteCount(instance->right), 0u);
    }
}

} // namespace
