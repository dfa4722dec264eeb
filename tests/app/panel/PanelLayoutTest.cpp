// The panel as built: nine knobs at their frames with their positions, parameters and defaults,
// their captions, the keyboard along the bottom, the stacking order — and that the knobs'
// defaults are the engine's own, so nothing needs posting.
#include "ControlsTestSupport.h"
#include "Font.h"
#include "KeyboardView.h"
#include "MainViewController.h"
#include "PanelTestSupport.h"
#include "ZVLabel.h"
#include "Zelvar_GradientView.h"
#include "Zelvar_SimpleLineKnob.h"
#include "Zelvar_SimpleWaveformKnob.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    double x, y;
    int64_t resolution;
    ParameterType assign;
    double defaultValue;
};

const Row rows[9] = {
    {"Waveform", 30, 270, 5, ParameterTypeOscillatorWaveform, 0.0},
    {"Octave", 30, 165, 5, ParameterTypeOctaveTranspose, 0.5},
    {"Cutoff", 145, 270, 100, ParameterTypeLpfCutoffFrequency, 1.0},
    {"Resonance", 225, 270, 100, ParameterTypeLpfResonance, 0.0},
    {"Attack", 145, 165, 100, ParameterTypeVcaEgAttackTime, 0.0},
    {"Decay", 225, 165, 100, ParameterTypeVcaEgDecayTime, 0.0},
    {"Sustain", 305, 165, 100, ParameterTypeVcaEgSustainLevel, 1.0},
    {"Release", 385, 165, 100, ParameterTypeVcaEgReleaseTime, 0.0},
    {"Output", 385, 270, 100, ParameterTypeMasterOutputLevel, 0.8},
};

class Panel : public ::testing::Test {
protected:
    PostingRecorder engine;
    MainViewController controller;
};

TEST_F(Panel, IsAGradientViewOf480By360AtTheOrigin) {
    toolkit::View* view = controller.view();
    ASSERT_NE(view, nullptr);
    EXPECT_NE(dynamic_cast<Zelvar_GradientView*>(view), nullptr);
    EXPECT_EQ(view->frame(), toolkit::makeRect(0, 0, 480, 360));
    EXPECT_EQ(controller.view(), view) << "built once";
}

TEST_F(Panel, KnobsSitAtTheirFramesWithTheirPositionsParametersAndDefaults) {
    controller.view();
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(rows[i].name);
        ASSERT_TRUE(controller.knobInfo[i].has_value());
        const KnobInfo& info = *controller.knobInfo[i];
        EXPECT_EQ(info.name, rows[i].name);
        EXPECT_EQ(info.frame, toolkit::makeRect(rows[i].x, rows[i].y, 65, 65));
        EXPECT_EQ(info.resolution, rows[i].resolution);
        EXPECT_EQ(info.assign, rows[i].assign);
        EXPECT_EQ(info.defaultValue, rows[i].defaultValue);
        Zelvar_SimpleKnob* knob = info.knob;
        ASSERT_NE(knob, nullptr);
        EXPECT_EQ(knob->frame(), info.frame);
        EXPECT_EQ(knob->superview(), controller.view());
        EXPECT_EQ(knob->resolution, rows[i].resolution);
        EXPECT_EQ(knob->assignedParameter, rows[i].assign);
        // Exactly the default, not rounded to a position: 0.8 is none of the output knob's
        // multiples of 1/99.
        EXPECT_EQ(knob->value.load(), rows[i].defaultValue);
        EXPECT_EQ(knob->knobDelegate, &controller);
        EXPECT_EQ(knob->ringStartValue, i == 1 ? 0.5 : 0.0);
        EXPECT_EQ(knob->centerInWindow, (toolkit::Point{rows[i].x + 32.5, rows[i].y + 32.5}));
    }
    EXPECT_EQ(controller.knobInfo[0]->knob, controller.waveformKnob);
    EXPECT_EQ(controller.knobInfo[1]->knob, controller.octaveTransposeKnob);
    EXPECT_EQ(controller.knobInfo[8]->knob, controller.masterOutputKnob);
    EXPECT_NE(dynamic_cast<Zelvar_SimpleWaveformKnob*>(controller.knobInfo[0]->knob), nullptr);
    for (size_t i = 1; i < 9; ++i)
        EXPECT_NE(dynamic_cast<Zelvar_SimpleLineKnob*>(controller.knobInfo[i]->knob), nullptr);
}

TEST_F(Panel, KnobDefaultsAreTheEnginesDefaultsAndBuildingPostsNothing) {
    controller.view();
    EXPECT_TRUE(engine.drain().empty());
    for (size_t i = 0; i < 9; ++i) {
        ParameterDescription row{};
        ASSERT_TRUE(DspGetParameterDescription(rows[i].assign, &row));
        EXPECT_EQ(row.defaultNormalizedValue, controller.knobInfo[i]->defaultValue) << rows[i].name;
    }
}

TEST_F(Panel, CaptionsAreCentredUnderTheirKnobsInDarkGreyFutura13) {
    toolkit::View* view = controller.view();
    const std::vector<toolkit::View*> stack = view->subviews();
    ASSERT_EQ(stack.size(), 19u);
    const std::string futura = toolkit::Font::resolveFamily("Futura");
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(stack[2 * i], controller.knobInfo[i]->knob) << "knob, then its caption";
        auto* caption = dynamic_cast<ZVLabel*>(stack[2 * i + 1]);
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->frame(), toolkit::makeRect(rows[i].x - 50, rows[i].y - 20, 165, 20));
        EXPECT_EQ(caption->stringValue(), rows[i].name);
        EXPECT_EQ(caption->textColor(), toolkit::Color::withWhite(1.0 / 3.0));
        EXPECT_EQ(caption->font().pointSize(), 13.0);
        if (!futura.empty()) {
            EXPECT_EQ(caption->font().family(), futura);
        }
        EXPECT_EQ(caption->alignment(), toolkit::TextAlignment::center);
    }
    EXPECT_EQ(stack[1]->frame(), toolkit::makeRect(-20, 250, 165, 20)) << "starts left of 0";
    EXPECT_EQ(stack[17]->frame(), toolkit::makeRect(335, 250, 165, 20)) << "ends past 480";
}

TEST_F(Panel, KeyboardCoversTheBottom120PointsWithTwoOctavesOnTop) {
    toolkit::View* view = controller.view();
    auto* keyboard = dynamic_cast<KeyboardView*>(view->subviews().back());
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->frame(), toolkit::makeRect(0, 0, 480, 120));
    EXPECT_EQ(keyboard->octaves, 2);
    EXPECT_EQ(keyboard->keyViewArray.size(), 25u);
    EXPECT_EQ(keyboard->keyboardDelegate, &controller);
    EXPECT_EQ(keyboard->keyViewArray[0]->frame(), toolkit::makeRect(0, 0, 32, 120));
    // Between the keyboard's top and the lower captions lies a strip of panel.
    EXPECT_LT(keyboard->frame().maxY(), 145.0);
}

TEST_F(Panel, OctaveKnobRingGrowsFromTheTop) {
    controller.view();
    Zelvar_SimpleKnob* octave = controller.octaveTransposeKnob;
    const QColor ring = fromCode("#37cee8"), travel = fromCode("#e2b1b1");
    for (double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        // At the default only the zero mark shows, straight up.
        QImage image = render(*octave, ratio);
        EXPECT_TRUE(near(pixelAt(image, 65, 32.5, 58.5), ring));
        EXPECT_TRUE(near(pixelAt(image, 65, 20, 55), travel));
        EXPECT_TRUE(near(pixelAt(image, 65, 45, 55), travel));
        // One position down (−1 octave): the ring runs left from the top.
        octave->value = 0.25;
        image = render(*octave, ratio);
        EXPECT_TRUE(near(pixelAt(image, 65, 20, 55), ring));
        EXPECT_TRUE(near(pixelAt(image, 65, 45, 55), travel));
        octave->value = 0.5;
    }
}

TEST_F(Panel, ControllerWithoutWindowFreesItsPanelAndUnbuiltKnobs) {
    // Both shapes of the controller's end: with a panel no window took, and never built. Run
    // under a leak or address checker, a double free or a leak would show here.
    auto built = std::make_unique<MainViewController>();
    QPointer<toolkit::View> panel = built->view();
    built.reset();
    EXPECT_TRUE(panel.isNull());
    auto unbuilt = std::make_unique<MainViewController>();
    QPointer<Zelvar_SimpleKnob> knob = unbuilt->lpfCutoffKnob;
    unbuilt.reset();
    EXPECT_TRUE(knob.isNull());
}

} // namespace
