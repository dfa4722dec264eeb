// The controller's routing: exactly which engine events knob values, key presses and releases
// post, as the calls of DspSetEvent; and what never posts (building the panel,
// auParameterCallback).
#include "MainViewController.h"
#include "ControlsTestSupport.h"
#include "KeyboardView.h"
#include "PanelTestSupport.h"
#include "Zelvar_SimpleWaveformKnob.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

DspObject expectedHandle = nullptr;

void expectParameter(const Posted& p, ParameterType type, double value1) {
    EXPECT_EQ(p.dsp, expectedHandle);
    EXPECT_EQ(p.subType, EventSubTypeParameter);
    EXPECT_EQ(p.parameterType, type);
    EXPECT_EQ(p.value1, value1);
    EXPECT_EQ(p.value2, 0.0);
    EXPECT_EQ(p.value3, 0.0);
}

void expectNote(const Posted& p, EventSubType subType, double note, double velocity) {
    EXPECT_EQ(p.dsp, expectedHandle);
    EXPECT_EQ(p.subType, subType);
    EXPECT_EQ(p.parameterType, ParameterTypeNone);
    EXPECT_EQ(p.value1, note);
    EXPECT_EQ(p.value2, velocity);
    EXPECT_EQ(p.value3, 0.0);
}

class Controller : public ::testing::Test {
protected:
    void SetUp() override { expectedHandle = engine.handle(); }
    PostingRecorder engine;
    MainViewController controller;
};

TEST_F(Controller, WaveformPositionsPostTheFiveEngineWaveformsNeverPulse) {
    const double positions[] = {0.0, 0.25, 0.5, 0.75, 1.0};
    const double expected[] = {0.0, 0.2, 0.4, 0.6, 1.0};
    for (double v : positions)
        controller.dspSetParameter(ParameterTypeOscillatorWaveform, v);
    const auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        expectParameter(posted[i], ParameterTypeOscillatorWaveform, expected[i]);
}

TEST_F(Controller, WaveformHalfwayValuesRoundUpAndOutOfRangeValuesPostNothing) {
    controller.dspSetParameter(ParameterTypeOscillatorWaveform, 0.375); // 1.5 → 2
    controller.dspSetParameter(ParameterTypeOscillatorWaveform, 0.625); // 2.5 → 3
    controller.dspSetParameter(ParameterTypeOscillatorWaveform, 0.125); // 0.5 → 1
    controller.dspSetParameter(ParameterTypeOscillatorWaveform, -0.1);  // −0.4 → 0
    auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 4u);
    expectParameter(posted[0], ParameterTypeOscillatorWaveform, 0.4);
    expectParameter(posted[1], ParameterTypeOscillatorWaveform, 0.6);
    expectParameter(posted[2], ParameterTypeOscillatorWaveform, 0.2);
    expectParameter(posted[3], ParameterTypeOscillatorWaveform, 0.0);

    for (double v : {-0.125, 1.125, 2.0, -1e300, 1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()})
        controller.dspSetParameter(ParameterTypeOscillatorWaveform, v);
    EXPECT_TRUE(engine.drain().empty());
}

TEST_F(Controller, OtherParametersPassTheirValueUnchanged) {
    controller.dspSetParameter(ParameterTypeLpfCutoffFrequency, 1.0);
    controller.dspSetParameter(ParameterTypeLpfResonance, 37.0 / 99.0);
    controller.dspSetParameter(ParameterTypeOctaveTranspose, 0.75);
    controller.dspSetParameter(ParameterTypeMasterOutputLevel, 0.8);
    const auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 4u);
    expectParameter(posted[0], ParameterTypeLpfCutoffFrequency, 1.0);
    expectParameter(posted[1], ParameterTypeLpfResonance, 37.0 / 99.0);
    expectParameter(posted[2], ParameterTypeOctaveTranspose, 0.75);
    expectParameter(posted[3], ParameterTypeMasterOutputLevel, 0.8);
}

TEST_F(Controller, NotesAlwaysGoAtVelocity100AndNoteOffsAreNotFiltered) {
    controller.dspNoteOn(64, 30);
    controller.dspNoteOff(64);
    controller.dspNoteOff(71); // never started: posted all the same
    controller.dspNoteOn(60.0, 0.0);
    const auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 4u);
    expectNote(posted[0], EventSubTypeNoteOn, 64, 100);
    expectNote(posted[1], EventSubTypeNoteOff, 64, 0);
    expectNote(posted[2], EventSubTypeNoteOff, 71, 0);
    expectNote(posted[3], EventSubTypeNoteOn, 60, 100);
}

TEST_F(Controller, PluginParameterIsTheInverseOfTheKnobAssignments) {
    const std::map<uint32_t, uint32_t> expected{{1, 0}, {14, 1}, {7, 2}, {8, 3}, {3, 4},
                                                {4, 5}, {5, 6},  {6, 7}, {13, 8}};
    EXPECT_EQ(controller.pluginParameter, expected);
    controller.view();
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(controller.pluginParameter.at(uint32_t(controller.knobInfo[i]->assign)), i);
}

TEST_F(Controller, BeforeThePanelIsBuiltKnobsAreBareAndCallbacksAreIgnored) {
    EXPECT_FALSE(controller.isViewLoaded());
    for (const auto& entry : controller.knobInfo)
        EXPECT_FALSE(entry.has_value());
    EXPECT_EQ(controller.lpfCutoffKnob->knobDelegate, nullptr);
    EXPECT_EQ(controller.lpfCutoffKnob->frame(), toolkit::Rect{});
    controller.auParameterCallback(2, 0.5);
    EXPECT_EQ(controller.lpfCutoffKnob->value.load(), 0.0);
}

TEST_F(Controller, AuParameterCallbackMovesTheKnobDisplayAndPostsNothing) {
    controller.view();
    EXPECT_TRUE(engine.drain().empty()) << "building the panel posts nothing";

    controller.auParameterCallback(2, 0.5);
    EXPECT_DOUBLE_EQ(controller.lpfCutoffKnob->value.load(), 50.0 / 99.0);
    // The waveform knob's own display: its picture follows the position.
    controller.auParameterCallback(0, 0.5);
    drainMainQueue();
    EXPECT_EQ(controller.waveformKnob->value.load(), 0.5);
    // Outside 0..8: ignored.
    controller.auParameterCallback(9, 0.3);
    controller.auParameterCallback(-1, 0.3);
    drainMainQueue();
    EXPECT_TRUE(engine.drain().empty());
    EXPECT_DOUBLE_EQ(controller.lpfCutoffKnob->value.load(), 50.0 / 99.0);
}

TEST_F(Controller, ZVMakeRectMeasuresFromTheTopOnRequest) {
    EXPECT_EQ(controller.ZVMakeRect(30, 270, 65, 65, false), toolkit::makeRect(30, 270, 65, 65));
    EXPECT_EQ(controller.ZVMakeRect(30, 25, 65, 65, true), toolkit::makeRect(30, 270, 65, 65));
    EXPECT_EQ(controller.ZVMakeRect(0, 240, 480, 120, true), toolkit::makeRect(0, 0, 480, 120));
}

// The panel shown as its own window, driven by the window system's mouse events.
class ControllerWithMouse : public Controller {
protected:
    void SetUp() override {
        Controller::SetUp();
        mouse = std::make_unique<MouseDriver>(*controller.view());
        engine.drain();
    }
    std::unique_ptr<MouseDriver> mouse;
};

TEST_F(ControllerWithMouse, LowestKeyPlaysNote60AtVelocity100) {
    mouse->press(10, 10);
    mouse->release(10, 10);
    const auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 2u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
    expectNote(posted[1], EventSubTypeNoteOff, 60, 0);
}

TEST_F(ControllerWithMouse, CutoffKnobDraggedDownAndBackToTheTopPostsItsValues) {
    // The knob starts at 1.0; a linear drag spans 225 points over the travel.
    mouse->press(177, 300);
    mouse->drag(177, 200); // 100 of the 225 points down: 1 − 100/225 = 55/99
    mouse->drag(177, 400);
    mouse->release(177, 400);
    auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 2u);
    expectParameter(posted[0], ParameterTypeLpfCutoffFrequency, 55.0 / 99.0);
    expectParameter(posted[1], ParameterTypeLpfCutoffFrequency, 1.0);

    mouse->press(177, 300);
    mouse->drag(177, 50);
    mouse->release(177, 50);
    posted = engine.drain();
    ASSERT_EQ(posted.size(), 1u);
    expectParameter(posted[0], ParameterTypeLpfCutoffFrequency, 0.0);
}

TEST_F(ControllerWithMouse, WaveformKnobDraggedToEachPositionPostsItsEngineValue) {
    // From 0, each quarter of the 225-point band is one position.
    const double expected[] = {0.2, 0.4, 0.6, 1.0};
    for (int position = 1; position <= 4; ++position) {
        mouse->press(62, 290);
        mouse->drag(62, 290 + 225.0 * 0.25 * position);
        mouse->release(62, 290 + 225.0 * 0.25 * position);
        const auto posted = engine.drain();
        ASSERT_EQ(posted.size(), 1u) << position;
        expectParameter(posted[0], ParameterTypeOscillatorWaveform, expected[position - 1]);
        // Back to the first position for the next round.
        mouse->press(62, 290);
        mouse->drag(62, 0);
        mouse->release(62, 0);
        engine.drain();
    }
}

} // namespace
