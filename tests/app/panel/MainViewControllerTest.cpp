// The controller's routing: exactly which engine events knob values, key presses and releases
// post, as the calls of DspSetEvent; and what never posts (building the panel,
// auParameterCallback).
#include "MainViewController.h"
#include "ControlsTestSupport.h"
#include "KeyboardView.h"
#include "PanelTestSupport.h"
#include "WindowKeyboard.h"
#include "Zelvar_SimpleWaveformKnob.h"

#include <QTest>

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

TEST_F(Controller, OctaveStepsTurnTheOctaveKnobThroughItsFivePositions) {
    controller.view();
    for (int i = 0; i < 3; ++i)
        controller.keyboardOctaveStep(-1); // the third finds the knob at its bottom
    for (int i = 0; i < 5; ++i)
        controller.keyboardOctaveStep(1);
    const auto posted = engine.drain();
    const double expected[] = {0.25, 0.0, 0.25, 0.5, 0.75, 1.0};
    ASSERT_EQ(posted.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
        expectParameter(posted[i], ParameterTypeOctaveTranspose, expected[i]);
    EXPECT_EQ(controller.octaveTransposeKnob->value.load(), 1.0);
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

TEST_F(ControllerWithMouse, ComputerKeysPlayNotesAndZXTurnTheOctaveKnob) {
    controller.view()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller.view()));
    WindowKeyboard::pressAt('A');
    WindowKeyboard::pressAt('G');
    WindowKeyboard::pressAt('Z');
    WindowKeyboard::releaseAt('Z');
    WindowKeyboard::releaseAt('A');
    WindowKeyboard::releaseAt('G');
    WindowKeyboard::pressAt('X');
    WindowKeyboard::pressAt('X');
    auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 7u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
    expectNote(posted[1], EventSubTypeNoteOn, 67, 100);
    expectParameter(posted[2], ParameterTypeOctaveTranspose, 0.25);
    expectNote(posted[3], EventSubTypeNoteOff, 60, 0);
    expectNote(posted[4], EventSubTypeNoteOff, 67, 0);
    expectParameter(posted[5], ParameterTypeOctaveTranspose, 0.5);
    expectParameter(posted[6], ParameterTypeOctaveTranspose, 0.75);
    drainMainQueue();
    EXPECT_EQ(controller.octaveTransposeKnob->value.load(), 0.75);
    EXPECT_EQ(MainViewController::readoutText(*controller.octaveTransposeKnob),
              "Octave Transpose +1");
}

TEST_F(ControllerWithMouse, ReadoutShowsUnderTheHoveredKnobAndFollowsItsValue) {
    EXPECT_EQ(controller.readoutLabel(), nullptr) << "made when first wanted";
    mouse->move(177, 302); // over the cutoff knob
    KnobReadoutLabel* readout = controller.readoutLabel();
    ASSERT_NE(readout, nullptr);
    EXPECT_TRUE(readout->isPresented());
    EXPECT_EQ(readout->stringValue(), "LPF Cutoff Frequency 20 kHz");
    EXPECT_EQ(controller.view()->subviews().back(), readout) << "above everything";
    // Centred under the knob, over its caption.
    const toolkit::Rect f = readout->frame();
    EXPECT_DOUBLE_EQ(f.maxY(), 270.0);
    EXPECT_NEAR(f.minX() + f.width() / 2, 177.5, 0.5);
    EXPECT_GT(f.width(), 100.0);
    EXPECT_LT(f.height(), 21.0);

    // Dragged down by 100 of the 225 points: 55/99, which the engine takes as 0.556, 2.09 kHz;
    // then released between the knob rows, away from any knob.
    mouse->press(177, 300);
    mouse->drag(177, 200);
    drainMainQueue();
    EXPECT_EQ(readout->stringValue(), "LPF Cutoff Frequency 2.09 kHz");
    mouse->drag(177, 240);
    mouse->release(177, 240);
    drainMainQueue();
    EXPECT_FALSE(readout->isPresented()) << "released away from the knob";

    // The wheel on the resonance knob: one position up from 0.
    mouse->move(257, 302);
    EXPECT_EQ(readout->stringValue(), "LPF Resonance 0.707");
    mouse->wheel(257, 302, 120);
    drainMainQueue();
    EXPECT_EQ(readout->stringValue(), "LPF Resonance 0.707");
    mouse->wheel(257, 302, 120 * 49);
    drainMainQueue();
    EXPECT_EQ(readout->stringValue(), "LPF Resonance 1.31");
    mouse->move(257, 240);
    EXPECT_FALSE(readout->isPresented());
    auto posted = engine.drain();
    ASSERT_EQ(posted.size(), 4u);
    expectParameter(posted[0], ParameterTypeLpfCutoffFrequency, 55.0 / 99.0);
    expectParameter(posted[1], ParameterTypeLpfCutoffFrequency, 73.0 / 99.0);
    expectParameter(posted[2], ParameterTypeLpfResonance, 1.0 / 99.0);
    expectParameter(posted[3], ParameterTypeLpfResonance, 50.0 / 99.0);
}

TEST_F(ControllerWithMouse, ReadoutsAtThePanelsEdgesStayInside) {
    mouse->move(62, 302); // the waveform knob, 30 points from the left edge
    KnobReadoutLabel* readout = controller.readoutLabel();
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(readout->stringValue(), "Oscillator Waveform Sine");
    EXPECT_GE(readout->frame().minX(), 0.0);
    EXPECT_EQ(readout->displayedText(), readout->stringValue()) << "not cut";
    mouse->move(417, 302); // the output knob, near the right edge
    EXPECT_EQ(readout->stringValue(), "Master Output Level 0.41");
    EXPECT_LE(readout->frame().maxX(), 480.0);
    EXPECT_EQ(readout->frame(), KnobReadoutLabel::placement(toolkit::makeRect(385, 270, 65, 65),
                                                            readout->frame().size, 480));
    EXPECT_TRUE(engine.drain().empty()) << "looking posts nothing";
}

TEST_F(ControllerWithMouse, PanelAtRestLooksTheSameBeforeAndAfterAReadout) {
    const QImage before = render(*controller.view());
    mouse->move(177, 302);
    ASSERT_NE(controller.readoutLabel(), nullptr);
    const QImage during = render(*controller.view());
    EXPECT_NE(during, before) << "the readout shows";
    mouse->move(240, 130);
    drainMainQueue();
    EXPECT_EQ(render(*controller.view()), before);
}

TEST_F(Controller, TheNoticeSitsInTheFreeSpaceBetweenKnobsAndGoesWhenCleared) {
    controller.showNotice("");
    EXPECT_EQ(controller.noticeLabel(), nullptr) << "nothing made until a notice is wanted";
    const QImage before = render(*controller.view());
    controller.showNotice("No sound");
    toolkit::TextLabel* notice = controller.noticeLabel();
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(notice->stringValue(), "No sound");
    // Between Resonance and Output, clear of every knob.
    const toolkit::Rect at = notice->frame();
    EXPECT_GT(at.width(), 40.0);
    EXPECT_GE(at.minX(), controller.lpfResonanceKnob->frame().maxX());
    EXPECT_LE(at.maxX(), controller.masterOutputKnob->frame().minX());
    for (const auto& info : controller.knobInfo) {
        const toolkit::Rect knob = info->knob->frame();
        const bool apart = at.maxX() <= knob.minX() || knob.maxX() <= at.minX() ||
                           at.maxY() <= knob.minY() || knob.maxY() <= at.minY();
        EXPECT_TRUE(apart) << info->name;
    }
    EXPECT_NE(render(*controller.view()), before);
    controller.showNotice("");
    EXPECT_TRUE(notice->isHidden());
    EXPECT_EQ(render(*controller.view()), before) << "gone without a trace";
    EXPECT_TRUE(engine.drain().empty());
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
