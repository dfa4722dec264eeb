// corvena.vst3 in our VST3 host (Vst3TestHost, on DPF's travesty interface): the factory offers
// an instrument, the component has one event input and one stereo output, note 60 sounds middle
// C on its frame (plus the reported latency away from 44.1 kHz), and processing never calls the
// allocator.
#include "AllocationCounter.h"
#include "ChainLevel.h"
#include "Corvena_Core.h"
#include "PortMap.h"
#include "SignalAnalysis.h"
#include "TestHostWindow.h"
#include "Vst3TestHost.h"
#include "XvfbDisplay.h"
#include "travesty/edit_controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

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

// The editor as a host opens it: inside a window of the host's on an X display, at the panel's
// size, idled through the run loop's timer, then closed; a hundred times, the sound still
// playing afterwards.
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
