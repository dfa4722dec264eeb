// corvena.vst3 in our VST3 host (Vst3TestHost, on DPF's travesty interface): the factory offers
// an instrument, the component has one event input and one stereo output, note 60 sounds middle
// C on its frame (plus the reported latency away from 44.1 kHz), processing never calls the
// allocator, a block longer than announced plays as announced blocks would, and the factory
// bank is offered as programs.
#include "AllocationCounter.h"
#include "ChainLevel.h"
#include "Corvena_Core.h"
#include "FactoryPresets.h"
#include "PortMap.h"
#include "SignalAnalysis.h"
#include "TestHostWindow.h"
#include "Vst3TestHost.h"
#include "XvfbDisplay.h"
#include "travesty/edit_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::string bundleUnderTest() {
    const char* installed = std::getenv("CORVENA_VST3_BUNDLE");
    return installed != nullptr && installed[0] != '\0' ? installed : CORVENA_TEST_VST3_BUNDLE;
}

class Vst3HostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(host.factory(), nullptr) << host.error(); }

    Vst3TestHost host{bundleUnderTest()};
};

TEST_F(Vst3HostTest, FactoryOffersAnInstrumentWithOneEventInputAndOneStereoOutput) {
    bool foundComponent = false;
    for (const auto& info : host.classes()) {
        if (info.category != "Audio Module Class")
            continue;
        foundComponent = true;
        EXPECT_EQ(info.name, "Corvena");
        EXPECT_NE(info.subCategories.find("Instrument"), std::string::npos) << info.subCategories;
        EXPECT_NE(info.subCategories.find("Synth"), std::string::npos) << info.subCategories;
    }
    EXPECT_TRUE(foundComponent);

    Vst3TestHost::Instance instance(host);
    v3_component** component = instance.component();
    ASSERT_NE(component, nullptr);
    ASSERT_NE(instance.processor(), nullptr);
    EXPECT_EQ(v3_cpp_obj(component)->get_bus_count(component, V3_EVENT, V3_INPUT), 1);
    EXPECT_EQ(v3_cpp_obj(component)->get_bus_count(component, V3_AUDIO, V3_INPUT), 0);
    ASSERT_EQ(v3_cpp_obj(component)->get_bus_count(component, V3_AUDIO, V3_OUTPUT), 1);
    v3_bus_info bus{};
    ASSERT_EQ(v3_cpp_obj(component)->get_bus_info(component, V3_AUDIO, V3_OUTPUT, 0, &bus), V3_OK);
    EXPECT_EQ(bus.channel_count, 2);
}

// The parameters in a state DPF's VST3 component saved: symbol and value, each ended by a zero
// byte, between its "__dpf_parameters_begin__" and "__dpf_parameters_end__" keys.
std::map<std::string, double> savedParameters(const std::string& state) {
    std::vector<std::string> fields;
    for (size_t start = 0; start < state.size();) {
        const size_t end = std::min(state.find('\0', start), state.size());
        fields.push_back(state.substr(start, end - start));
        start = end + 1;
    }
    std::map<std::string, double> values;
    size_t i = 0;
    while (i < fields.size() && fields[i] != "__dpf_parameters_begin__")
        ++i;
    for (++i; i + 1 < fields.size() && fields[i] != "__dpf_parameters_end__"; i += 2)
        values[fields[i]] = std::strtod(fields[i + 1].c_str(), nullptr);
    return values;
}

std::string text(const v3_str_128 utf16) {
    std::string out;
    for (int i = 0; i < 128 && utf16[i] != 0; ++i)
        out += char(utf16[i]);
    return out;
}

// The parameters a VST3 host lists and automates are the engine's table, by name, with its
// defaults and steps; DPF adds its own (latency, MIDI controllers), hidden or read-only.
TEST_F(Vst3HostTest, ParametersAreTheEnginesTable) {
    Vst3TestHost::Instance instance(host);
    v3_component** component = instance.component();
    ASSERT_NE(component, nullptr);
    v3_edit_controller** controller = nullptr;
    ASSERT_EQ(v3_cpp_obj_query_interface(component, v3_edit_controller_iid, &controller), V3_OK);
    ASSERT_NE(controller, nullptr);
    uint32_t found = 0;
    for (int32_t i = 0; i < v3_cpp_obj(controller)->get_parameter_count(controller); ++i) {
        v3_param_info info{};
        ASSERT_EQ(v3_cpp_obj(controller)->get_parameter_info(controller, i, &info), V3_OK);
        if (info.flags & (V3_PARAM_IS_HIDDEN | V3_PARAM_READ_ONLY))
            continue;
        ParameterDescription row{};
        ASSERT_TRUE(
            DspGetParameterDescription(PortMap::parameterOf(PortMap::firstControl + found), &row));
        EXPECT_EQ(text(info.title), row.name);
        EXPECT_TRUE(info.flags & V3_PARAM_CAN_AUTOMATE) << row.name;
        const bool stepped = PortMap::isToggle(row) || PortMap::isWholeNumbers(row);
        EXPECT_EQ(info.step_count, stepped ? int32_t(row.maxValue - row.minValue) : 0) << row.name;
        const double plainDefault =
            v3_cpp_obj(controller)
                ->normalised_parameter_to_plain(controller, info.param_id,
                                                info.default_normalised_value);
        EXPECT_NEAR(plainDefault, row.defaultValue, 1e-4 * (row.maxValue - row.minValue))
            << row.name;
        ++found;
    }
    EXPECT_EQ(found, PortMap::controlCount());
    v3_cpp_obj_unref(controller);
}

TEST_F(Vst3HostTest, Note60SoundsMiddleCOnItsFramePlusTheReportedLatency) {
    for (double rate : {44100.0, 48000.0}) {
        Vst3TestHost::Instance instance(host);
        ASSERT_NE(instance.processor(), nullptr);
        ASSERT_TRUE(instance.start(rate, 512)) << rate;
        const uint32_t latency = instance.latency();
        EXPECT_EQ(latency == 0, rate == 44100.0) << rate;
        const size_t noteFrame = 4 * 256 + 100;
        for (int block = 0; block < 200; ++block) {
            if (block == 4)
                instance.queueNoteOn(100, 60, 100.0f / 127.0f);
            ASSERT_EQ(instance.process(256), V3_OK);
        }
        if (rate == 44100.0) {
            EXPECT_EQ(analysis::firstAbove(instance.left, 0.0), noteFrame + 1);
        } else {
            const double predicted = chain::predictedSineLevelAtDefaults(261.63, 100);
            EXPECT_NEAR(double(analysis::firstAbove(instance.left, 1e-3 * predicted)),
                        double(noteFrame + latency), 3.0);
        }
        EXPECT_NEAR(
            analysis::frequencyByZeroCrossings(instance.left, 8192, instance.left.size(), rate),
            261.63, 0.05)
            << rate;
    }
}

TEST_F(Vst3HostTest, ProcessMakesNoAllocatorCall) {
    Vst3TestHost::Instance instance(host);
    ASSERT_NE(instance.processor(), nullptr);
    ASSERT_TRUE(instance.start(48000.0, 256));
    instance.process(256);
    instance.left.reserve(64 * 256 + 256);
    instance.right.reserve(64 * 256 + 256);
    uint64_t allocations = 0;
    for (int block = 0; block < 64; ++block) {
        for (int n = 0; n < 3; ++n)
            instance.queueNoteOn(n * 60, int16_t(48 + (block * 3 + n) % 36), 0.8f);
        instance.queueNoteOff(200, int16_t(48 + (block * 3 + 35) % 36));
        AllocationCounter counter;
        instance.process(256);
        allocations += counter.count();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_GT(analysis::peak(instance.left, 0, instance.left.size()), 0.01);
}

// Some hosts send a longer block than they set the processor up for (offline renders, a buffer
// size changed on the fly). Such a block must play as the same music in blocks of the announced
// length would: every note on its frame, one past the block's end passed over.
TEST_F(Vst3HostTest, ABlockLongerThanAnnouncedPlaysAsAnnouncedBlocksDo) {
    struct Note {
        int32_t frame;
        int16_t pitch;
        bool on;
    };
    for (const auto& [announced, longBlock] : {std::pair{64, 4096}, std::pair{256, 118 * 256}}) {
        const int32_t before = 2 * announced;
        const std::vector<Note> notes = {{700, 60, true},
                                         {9000 % longBlock, 64, true},
                                         {20000 % longBlock, 60, false},
                                         {longBlock - 1, 67, true},
                                         {longBlock + 5000, 64, false}};
        Vst3TestHost::Instance asSent(host), asAnnounced(host);
        ASSERT_TRUE(asSent.start(44100.0, announced));
        ASSERT_TRUE(asAnnounced.start(44100.0, announced));
        const int32_t total = before + longBlock + 8 * announced;
        for (int32_t frame = 0; frame < total; frame += announced) {
            for (const Note& note : notes) {
                const int32_t at = before + note.frame;
                if (note.frame >= longBlock || at < frame || at >= frame + announced)
                    continue;
                if (note.on)
                    asAnnounced.queueNoteOn(at - frame, note.pitch, 0.8f);
                else
                    asAnnounced.queueNoteOff(at - frame, note.pitch);
            }
            ASSERT_EQ(asAnnounced.process(announced), V3_OK);
        }
        ASSERT_EQ(asSent.process(announced), V3_OK);
        ASSERT_EQ(asSent.process(announced), V3_OK);
        for (const Note& note : notes) {
            if (note.on)
                asSent.queueNoteOn(note.frame, note.pitch, 0.8f);
            else
                asSent.queueNoteOff(note.frame, note.pitch);
        }
        ASSERT_EQ(asSent.process(longBlock), V3_OK) << longBlock;
        for (int block = 0; block < 8; ++block)
            ASSERT_EQ(asSent.process(announced), V3_OK);

        ASSERT_EQ(asSent.left.size(), asAnnounced.left.size());
        const auto [sent, expected] =
            std::mismatch(asSent.left.begin(), asSent.left.end(), asAnnounced.left.begin());
        EXPECT_EQ(sent, asSent.left.end())
            << "a " << longBlock << "-frame block after announcing " << announced
            << " differs from frame " << (sent - asSent.left.begin());
        EXPECT_EQ(asSent.right, asAnnounced.right);
        EXPECT_GT(analysis::peak(asSent.left, size_t(before), size_t(before + longBlock)), 0.01);
    }
}

// The factory bank as a VST3 host finds it: DPF's program-change parameter, one step per row of
// the table, each step named by the row's label (the names the LV2 presets and
// `corvena-render --list-presets` carry). Choosing a step sets every parameter to the row's
// value, which the host reads back through the controller and hears in the processor.
class Vst3PresetTest : public Vst3HostTest {
protected:
    void SetUp() override {
        Vst3HostTest::SetUp();
        ASSERT_NE(instance.component(), nullptr);
        ASSERT_EQ(
            v3_cpp_obj_query_interface(instance.component(), v3_edit_controller_iid, &controller),
            V3_OK);
        ASSERT_NE(controller, nullptr);
        for (int32_t i = 0; i < v3_cpp_obj(controller)->get_parameter_count(controller); ++i) {
            v3_param_info info{};
            ASSERT_EQ(v3_cpp_obj(controller)->get_parameter_info(controller, i, &info), V3_OK);
            if (info.flags & V3_PARAM_PROGRAM_CHANGE) {
                ASSERT_EQ(programParameter, -1) << "a second program parameter";
                programParameter = int32_t(info.param_id);
                programSteps = info.step_count;
            } else if (!(info.flags & (V3_PARAM_IS_HIDDEN | V3_PARAM_READ_ONLY))) {
                controls.push_back(info.param_id);
            }
        }
        ASSERT_NE(programParameter, -1) << "no program-change parameter";
        ASSERT_EQ(controls.size(), PortMap::controlCount());
    }
    void TearDown() override {
        if (controller != nullptr)
            v3_cpp_obj_unref(controller);
    }

    double programValue(size_t index) const {
        return double(index) / double(FactoryPresets::count() - 1);
    }
    v3_result load(size_t index) {
        return v3_cpp_obj(controller)
            ->set_parameter_normalised(controller, programParameter, programValue(index));
    }
    double plainValue(uint32_t control) const {
        const v3_param_id id = controls[control];
        return v3_cpp_obj(controller)
            ->normalised_parameter_to_plain(
                controller, id, v3_cpp_obj(controller)->get_parameter_normalised(controller, id));
    }
    size_t indexOf(const char* label) const {
        for (size_t i = 0; i < FactoryPresets::count(); ++i)
            if (FactoryPresets::label(FactoryPresets::at(i)) == label)
                return i;
        ADD_FAILURE() << "no preset " << label;
        return 0;
    }
    // A C major triad at velocity 100 held for 40 blocks of 256 frames; the allocator calls the
    // blocks make are added to `allocations`.
    static std::vector<float> playTriad(Vst3TestHost::Instance& player, uint64_t& allocations) {
        player.left.clear();
        player.right.clear();
        player.left.reserve(41 * 256);
        player.right.reserve(41 * 256);
        for (int block = 0; block < 40; ++block) {
            if (block == 1)
                for (int16_t pitch : {60, 64, 67})
                    player.queueNoteOn(0, pitch, 100.0f / 127.0f);
            AllocationCounter counter;
            player.process(256);
            allocations += counter.count();
        }
        return player.left;
    }

    Vst3TestHost::Instance instance{host};
    v3_edit_controller** controller = nullptr;
    int32_t programParameter = -1;
    int32_t programSteps = 0;
    std::vector<v3_param_id> controls;
};

TEST_F(Vst3PresetTest, ProgramsAreTheFactoryBankByLabel) {
    EXPECT_EQ(programSteps, int32_t(FactoryPresets::count()) - 1);
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        v3_str_128 name{};
        ASSERT_EQ(v3_cpp_obj(controller)
                      ->get_parameter_string_for_value(controller, programParameter,
                                                       programValue(i), name),
                  V3_OK);
        EXPECT_EQ(text(name), FactoryPresets::label(FactoryPresets::at(i))) << i;
    }
}

// Read back as a host reads it, through the controller, and as it saves it, from the component's
// state. The first parameter (the waveform) is the one DPF 1.6's controller alone would answer
// with 0, taking its id for a MIDI controller's.
TEST_F(Vst3PresetTest, LoadingAProgramSetsEveryParameterToTheTablesValue) {
    // Every row after every other, so no row passes on what the one before it left.
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        ASSERT_EQ(load(i), V3_OK) << i;
        const std::map<std::string, double> saved = savedParameters(instance.savedState());
        for (uint32_t c = 0; c < controls.size(); ++c) {
            const ParameterType type = PortMap::parameterOf(PortMap::firstControl + c);
            ParameterDescription row{};
            ASSERT_TRUE(DspGetParameterDescription(type, &row));
            ASSERT_TRUE(FactoryPresets::covers(type)) << row.name;
            const double expected = FactoryPresets::value(preset, type);
            const double tolerance = 1e-5 * (row.maxValue - row.minValue);
            EXPECT_NEAR(plainValue(c), expected, tolerance)
                << FactoryPresets::label(preset) << ": " << row.name;
            const auto found = saved.find(row.symbol);
            ASSERT_NE(found, saved.end()) << row.symbol;
            EXPECT_NEAR(found->second, expected, tolerance)
                << FactoryPresets::label(preset) << ": " << row.name << " as saved";
        }
    }
}

TEST_F(Vst3PresetTest, ALoadedProgramPlaysItsOwnSoundWithoutAllocatingInProcess) {
    ASSERT_TRUE(instance.start(48000.0, 256));
    instance.process(256);
    uint64_t allocations = 0;
    const std::vector<float> init = playTriad(instance, allocations);

    Vst3TestHost::Instance other(host);
    v3_edit_controller** otherController = nullptr;
    ASSERT_EQ(
        v3_cpp_obj_query_interface(other.component(), v3_edit_controller_iid, &otherController),
        V3_OK);
    ASSERT_EQ(v3_cpp_obj(otherController)
                  ->set_parameter_normalised(otherController, programParameter,
                                             programValue(indexOf("Bass: Round Sub"))),
              V3_OK);
    v3_cpp_obj_unref(otherController);
    ASSERT_TRUE(other.start(48000.0, 256));
    other.process(256);
    const std::vector<float> sub = playTriad(other, allocations);
    EXPECT_EQ(allocations, 0u) << "while playing";
    const size_t frames = 40 * 256;
    ASSERT_EQ(init.size(), frames);
    ASSERT_EQ(sub.size(), frames);
    const double initRms = analysis::rms(init, 2 * 256, frames);
    const double subRms = analysis::rms(sub, 2 * 256, frames);
    EXPECT_GT(subRms, 1e-3);
    double difference = 0.0;
    for (size_t i = 0; i < frames; ++i)
        difference += double(sub[i] - init[i]) * double(sub[i] - init[i]);
    EXPECT_GT(std::sqrt(difference / double(frames)), 0.1 * std::max(initRms, subRms))
        << "Bass: Round Sub plays as Init does";

    // Programs loaded between blocks of a playing instance: the blocks still never allocate.
    allocations = 0;
    instance.left.reserve(instance.left.size() + 256 * FactoryPresets::count());
    instance.right.reserve(instance.right.size() + 256 * FactoryPresets::count());
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        ASSERT_EQ(load(i), V3_OK);
        instance.queueNoteOn(0, int16_t(48 + i % 24), 0.8f);
        AllocationCounter counter;
        instance.process(256);
        allocations += counter.count();
    }
    EXPECT_EQ(allocations, 0u) << "in the blocks after a program change";
}

// The editor as a host opens it: inside a window of the host's on an X display, at the panel's
// size, idled through the run loop's timer, then closed; a hundred times, the sound still
// playing afterwards.
// A host's list out of order plays each note on its own frame, as the list in order does.
TEST_F(Vst3HostTest, EventsOutOfOrderPlayOnTheirOwnFrames) {
    Vst3TestHost::Instance inOrder(host), outOfOrder(host);
    ASSERT_TRUE(inOrder.start(44100.0, 256));
    ASSERT_TRUE(outOfOrder.start(44100.0, 256));
    for (const auto& [frame, pitch] :
         {std::pair{0, 60}, std::pair{100, 62}, std::pair{150, 64}, std::pair{200, 67}})
        inOrder.queueNoteOn(frame, int16_t(pitch), 0.8f);
    for (const auto& [frame, pitch] :
         {std::pair{0, 60}, std::pair{100, 62}, std::pair{200, 67}, std::pair{150, 64}})
        outOfOrder.queueNoteOn(frame, int16_t(pitch), 0.8f);
    for (int block = 0; block < 8; ++block) {
        ASSERT_EQ(inOrder.process(256), V3_OK);
        ASSERT_EQ(outOfOrder.process(256), V3_OK);
    }
    EXPECT_EQ(outOfOrder.left, inOrder.left);
}

// Spoiled input from a host: notes out of MIDI's range or with no number for a velocity, events
// out of order or outside the block, parameter points that are NaN, infinite or outside [0, 1]
// or for no parameter at all, and blocks of 0 and 1 frames. None may crash the plugin or put a
// NaN out; afterwards every control holds a value of its range and a plain note plays in tune.
class Vst3BadInputTest : public Vst3PresetTest {};

TEST_F(Vst3BadInputTest, SpoiledEventsValuesAndBlocksAreSkippedOrClampedNeverANaN) {
    ASSERT_TRUE(instance.start(48000.0, 256));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int block = 0; block < 4; ++block) {
        for (const auto& [pitch, velocity] :
             {std::pair{int16_t(-5), 0.5f}, std::pair{int16_t(200), 0.5f},
              std::pair{int16_t(1000), 0.5f}, std::pair{int16_t(60), float(nan)},
              std::pair{int16_t(62), float(inf)}, std::pair{int16_t(64), -3.0f},
              std::pair{int16_t(65), 40.0f}})
            instance.queueNoteOn(200 - 40 * block, pitch, velocity);
        instance.queueNoteOn(-7, 67, 0.5f);
        instance.queueNoteOn(5000, 69, 0.5f);
        v3_event off{};
        off.type = V3_EVENT_NOTE_OFF;
        off.sample_offset = 30;
        off.note_off.pitch = 60;
        off.note_off.velocity = float(nan);
        instance.queueEvent(off);
        v3_event pressure{};
        pressure.type = V3_EVENT_POLY_PRESSURE;
        pressure.poly_pressure.pitch = 500;
        pressure.poly_pressure.pressure = float(nan);
        instance.queueEvent(pressure);
        for (v3_param_id id : controls)
            for (double value : {nan, inf, -inf, -1.0, 2.0, 1e300})
                instance.queueParameter(id, block == 0 ? 0 : 100, value);
        instance.queueParameter(123456, 0, 0.5); // no such parameter
        ASSERT_EQ(instance.process(256), V3_OK);
        ASSERT_EQ(instance.process(0), V3_OK);
        ASSERT_EQ(instance.process(1), V3_OK);
    }
    for (uint32_t c = 0; c < controls.size(); ++c) {
        ParameterDescription row{};
        ASSERT_TRUE(
            DspGetParameterDescription(PortMap::parameterOf(PortMap::firstControl + c), &row));
        const double value = plainValue(c);
        EXPECT_TRUE(value >= row.minValue && value <= row.maxValue) << row.name << " " << value;
    }
    // Every control back at its default, every note ended, then a plain middle C.
    for (int32_t i = 0; i < v3_cpp_obj(controller)->get_parameter_count(controller); ++i) {
        v3_param_info info{};
        v3_cpp_obj(controller)->get_parameter_info(controller, i, &info);
        if (std::find(controls.begin(), controls.end(), info.param_id) != controls.end())
            instance.queueParameter(info.param_id, 0, info.default_normalised_value);
    }
    for (int16_t pitch = 0; pitch < 128; ++pitch)
        instance.queueNoteOff(0, pitch);
    for (int block = 0; block < 200; ++block)
        ASSERT_EQ(instance.process(256), V3_OK);
    const size_t from = instance.left.size();
    instance.queueNoteOn(0, 60, 100.0f / 127.0f);
    for (int block = 0; block < 40; ++block)
        ASSERT_EQ(instance.process(256), V3_OK);
    const auto nonFinite = [](const std::vector<float>& samples) {
        return std::count_if(samples.begin(), samples.end(),
                             [](float s) { return !std::isfinite(s); });
    };
    EXPECT_EQ(nonFinite(instance.left) + nonFinite(instance.right), 0);
    EXPECT_GT(analysis::peak(instance.left, from, instance.left.size()), 0.01);
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(instance.left, from + 2048, instance.left.size(),
                                                   48000.0),
                261.63, 0.5);
}

// A host on a high-density screen gives the editor its content scale first, then asks its size
// to make the window: the answer is already the scaled size, and stays so once attached.
TEST_F(Vst3HostTest, TheEditorTakesTheHostsScaleBeforeItIsAttached) {
    XvfbDisplay xvfb;
    ASSERT_FALSE(xvfb.name().empty()) << xvfb.error();
    setenv("DISPLAY", xvfb.name().c_str(), 1);
    for (const auto& [scale, expectedWidth, expectedHeight] :
         {std::tuple{1.5f, 720, 540}, std::tuple{2.0f, 960, 720}}) {
        const TestHostWindow parentWindow(xvfb.name(), expectedWidth, expectedHeight);
        ASSERT_TRUE(parentWindow.ok());
        Vst3TestHost::Instance instance(host);
        ASSERT_TRUE(instance.start(44100.0, 512));
        int32_t width = 0, height = 0;
        v3_view_rect asked{};
        ASSERT_TRUE(instance.openEditor(parentWindow.id(), &width, &height, scale, &asked));
        EXPECT_EQ(asked.right - asked.left, expectedWidth)
            << "asked before attaching at x" << scale;
        EXPECT_EQ(asked.bottom - asked.top, expectedHeight)
            << "asked before attaching at x" << scale;
        EXPECT_EQ(width, expectedWidth) << scale;
        EXPECT_EQ(height, expectedHeight) << scale;
        instance.closeEditor();
    }
}

TEST_F(Vst3HostTest, TheEditorOpensInsideTheHostsWindowAndClosesAHundredTimes) {
    XvfbDisplay xvfb;
    ASSERT_FALSE(xvfb.name().empty()) << xvfb.error();
    setenv("DISPLAY", xvfb.name().c_str(), 1);
    const TestHostWindow parentWindow(xvfb.name(), 480, 360);
    ASSERT_TRUE(parentWindow.ok());
    const unsigned long parent = parentWindow.id();

    Vst3TestHost::Instance instance(host);
    ASSERT_TRUE(instance.start(44100.0, 512));
    for (int round = 0; round < 100; ++round) {
        int32_t width = 0, height = 0;
        ASSERT_TRUE(instance.openEditor(parent, &width, &height)) << "round " << round;
        EXPECT_EQ(width, 480);
        EXPECT_EQ(height, 360);
        EXPECT_TRUE(instance.idleEditor());
        instance.closeEditor();
        EXPECT_FALSE(instance.editorTimerRegistered()) << "a closed editor leaves no timer";
    }
    for (int block = 0; block < 40; ++block) {
        if (block == 1)
            instance.queueNoteOn(0, 60, 100.0f / 127.0f);
        ASSERT_EQ(instance.process(256), V3_OK);
    }
    EXPECT_NEAR(
        analysis::frequencyByZeroCrossings(instance.left, 2048, instance.left.size(), 44100.0),
        261.63, 0.1);
}

} // namespace
