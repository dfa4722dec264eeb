// The rotary knob driven by window-system mouse events, and its drawing checked pixel by pixel
// at known angles of the ring.
#include "ColorCode.h"
#include "ControlsTestSupport.h"
#include "KnobTravel.h"
#include "Zelvar_GradientView.h"
#include "Zelvar_SimpleKnob.h"
#include "Zelvar_SimpleLineKnob.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A 480 × 360 panel (the window's content) with one knob on it, configured as the panel does.
struct KnobOnPanel {
    explicit KnobOnPanel(toolkit::Rect knobFrame, int64_t resolution, double value) {
        panel = new Zelvar_GradientView(toolkit::makeRect(0, 0, 480, 360));
        knob = new Zelvar_SimpleLineKnob();
        knob->setFrame(knobFrame);
        knob->resolution = resolution;
        knob->value = value;
        knob->assignedParameter = ParameterTypeLpfCutoffFrequency;
        knob->knobDelegate = &delegate;
        knob->initialize();
        panel->addSubview(knob);
    }
    ~KnobOnPanel() { delete panel; }
    RecordingKnobDelegate delegate;
    Zelvar_GradientView* panel;
    Zelvar_SimpleLineKnob* knob;
};

TEST(SimpleKnob, StartsWithItsDefaults) {
    Zelvar_SimpleKnob knob;
    EXPECT_EQ(knob.frame(), toolkit::Rect{});
    EXPECT_FALSE(knob.knobModeIsRotary);
    EXPECT_EQ(knob.assignedParameter, ParameterTypeNone);
    EXPECT_EQ(knob.knobDelegate, nullptr);
    EXPECT_DOUBLE_EQ(knob.theta, M_PI / 2);
    EXPECT_EQ(knob.resolution, 101);
    EXPECT_DOUBLE_EQ(knob.linearTrackingRange, 300.0);
    EXPECT_EQ(knob.backgroundColor.alpha(), 0.0);
    EXPECT_EQ(knob.ringColor, initWithColorCode("#37cee8"));
}

TEST(SimpleKnob, InitializeFindsTheCentreInTheWindow) {
    KnobOnPanel p(toolkit::makeRect(145, 270, 65, 65), 100, 1.0);
    EXPECT_DOUBLE_EQ(p.knob->centerInView.x, 32.5);
    EXPECT_DOUBLE_EQ(p.knob->centerInWindow.x, 177.5);
    EXPECT_DOUBLE_EQ(p.knob->centerInWindow.y, 302.5);
}

TEST(SimpleKnob, LinearDragFollowsThePointerInsideTheBandOfThePress) {
    for (const auto& [resolution, expected] :
         {std::pair<int64_t, double>{100, 76.0 / 99.0}, {101, 0.77}, {5, 0.75}}) {
        SCOPED_TRACE(resolution);
        KnobOnPanel p(toolkit::makeRect(30, 60, 65, 65), resolution, 0.5);
        MouseDriver mouse(*p.panel);
        mouse.press(60, 100);
        EXPECT_TRUE(p.delegate.calls.empty()); // a press changes nothing
        EXPECT_DOUBLE_EQ(p.knob->linearTrackingMinCoordinate, -12.5);
        EXPECT_DOUBLE_EQ(p.knob->linearTrackingMaxCoordinate, 212.5);
        mouse.drag(200, 160); // horizontal movement is ignored, even outside the knob
        ASSERT_EQ(p.delegate.calls.size(), 1u);
        EXPECT_EQ(p.delegate.calls[0].first, ParameterTypeLpfCutoffFrequency);
        EXPECT_DOUBLE_EQ(p.delegate.calls[0].second, expected);
        EXPECT_DOUBLE_EQ(p.knob->value, expected);
        mouse.release(200, 160);
    }
}

TEST(SimpleKnob, LinearDragBeyondTheBandHoldsTheEnd) {
    KnobOnPanel p(toolkit::makeRect(30, 60, 65, 65), 100, 0.5);
    MouseDriver mouse(*p.panel);
    mouse.press(60, 100);
    mouse.drag(60, 250);
    mouse.drag(60, 300);
    mouse.drag(60, 212);
    mouse.drag(60, -40);
    mouse.release(60, -40);
    ASSERT_EQ(p.delegate.calls.size(), 4u);
    EXPECT_DOUBLE_EQ(p.delegate.calls[0].second, 1.0);
    EXPECT_DOUBLE_EQ(p.delegate.calls[1].second, 1.0);
    EXPECT_DOUBLE_EQ(p.delegate.calls[2].second, KnobTravel::discretedValue(224.5 / 225, 100));
    EXPECT_DOUBLE_EQ(p.delegate.calls[3].second, 0.0);
}

TEST(SimpleKnob, SecondPressOfADoubleClickKeepsTheBand) {
    KnobOnPanel p(toolkit::makeRect(30, 60, 65, 65), 100, 0.5);
    MouseDriver mouse(*p.panel);
    mouse.press(60, 100);
    mouse.drag(60, 130);
    mouse.release(60, 130);
    const double afterFirstDrag = p.knob->value;
    EXPECT_GT(afterFirstDrag, 0.6);
    mouse.press(60, 100, 100); // quickly again, in place: the second press of a double click
    EXPECT_DOUBLE_EQ(p.knob->linearTrackingMinCoordinate, -12.5);
    EXPECT_DOUBLE_EQ(p.knob->valueOnDragStart, 0.5);
    mouse.drag(60, 160);
    mouse.release(60, 160);
    EXPECT_DOUBLE_EQ(p.knob->value, 76.0 / 99.0);
    // A slow second press starts a new band at the value it finds.
    mouse.press(60, 100);
    EXPECT_DOUBLE_EQ(p.knob->valueOnDragStart, 76.0 / 99.0);
    mouse.release(60, 100);
}

TEST(SimpleKnob, RotaryDragReadsTheAngleAroundTheCentre) {
    // A 64-point knob centred on whole window coordinates (132, 132).
    KnobOnPanel p(toolkit::makeRect(100, 100, 64, 64), 1000001, 0.0);
    p.knob->knobModeIsRotary = true;
    MouseDriver mouse(*p.panel);
    mouse.press(132, 150);
    struct Case {
        double x, y, value;
    };
    const Case cases[] = {{132, 200, 0.5}, {100, 132, 1.0 / 6}, {200, 132, 5.0 / 6}, {131, 20, 0.0},
                          {133, 20, 1.0},  {132, 20, 1.0},      {82, 182, 1.0 / 3}};
    for (const Case& c : cases) {
        mouse.drag(c.x, c.y);
        ASSERT_FALSE(p.delegate.calls.empty());
        EXPECT_NEAR(p.delegate.calls.back().second, c.value, 1e-6) << c.x << ", " << c.y;
    }
    const size_t reports = p.delegate.calls.size();
    mouse.drag(132, 132); // exactly at the centre: no angle, nothing reported
    EXPECT_EQ(p.delegate.calls.size(), reports);
    EXPECT_NEAR(p.knob->value, 1.0 / 3, 1e-6);
    mouse.release(132, 132);
}

TEST(SimpleKnob, SetValueReportsOnceAndUpdateDisplayNever) {
    KnobOnPanel p(toolkit::makeRect(30, 60, 65, 65), 5, 0.0);
    p.knob->setValue(0.3);
    ASSERT_EQ(p.delegate.calls.size(), 1u);
    EXPECT_DOUBLE_EQ(p.delegate.calls[0].second, 0.25);
    EXPECT_DOUBLE_EQ(p.knob->value, 0.25);
    p.knob->updateDisplay(0.375);
    EXPECT_DOUBLE_EQ(p.knob->value, 0.5); // stored at once, before any redraw
    p.knob->updateDisplay(1.3);
    EXPECT_DOUBLE_EQ(p.knob->value, 1.25); // rounded, not clamped
    EXPECT_EQ(p.delegate.calls.size(), 1u);
    drainMainQueue();
    // Without a delegate the knob still rounds and stores.
    p.knob->knobDelegate = nullptr;
    p.knob->setValue(0.6);
    EXPECT_DOUBLE_EQ(p.knob->value, 0.5);
}

TEST(SimpleKnob, QueuedRedrawOfADeletedKnobIsSkipped) {
    auto* knob = new Zelvar_SimpleKnob(toolkit::makeRect(0, 0, 65, 65));
    knob->updateDisplay(0.5);
    delete knob;
    drainMainQueue(); // must not touch the deleted knob
    SUCCEED();
}

TEST(SimpleKnob, TrackingAreaCoversTheBoundsAndIsReplaced) {
    KnobOnPanel p(toolkit::makeRect(30, 60, 65, 65), 100, 0.0);
    ASSERT_TRUE(p.knob->trackingArea);
    EXPECT_EQ(p.knob->trackingArea->rect(), toolkit::makeRect(0, 0, 65, 65));
    EXPECT_EQ(p.knob->trackingArea->options(), 0x83u);
    p.knob->setFrameSize(toolkit::Size{80, 80});
    EXPECT_EQ(p.knob->trackingAreas().size(), 1u);
    EXPECT_EQ(p.knob->trackingArea->rect(), toolkit::makeRect(0, 0, 80, 80));
}

TEST(SimpleKnob, OneWheelNotchMovesOnePosition) {
    struct Case {
        int64_t resolution;
        double start;
        std::vector<int> deltas;
        std::vector<double> reported;
    };
    const Case cases[] = {
        {5, 0.5, {120, -120, -120, 240}, {0.75, 0.5, 0.25, 0.75}},
        {100, 0.0, {120, 120, 360}, {1.0 / 99, 2.0 / 99, 5.0 / 99}},
        // The output knob's start between positions: one notch from the nearest, 79/99.
        {100, 0.8, {120}, {80.0 / 99}},
        // At the top nothing is reported, and the first notch back acts at once.
        {100, 1.0, {120, 120, -120}, {98.0 / 99}},
        {5, 0.0, {-120, 120}, {0.25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.resolution) + " from " + std::to_string(c.start));
        KnobOnPanel p(toolkit::makeRect(145, 270, 65, 65), c.resolution, c.start);
        MouseDriver mouse(*p.panel);
        for (int delta : c.deltas)
            mouse.wheel(177, 302, delta);
        ASSERT_EQ(p.delegate.calls.size(), c.reported.size());
        for (size_t i = 0; i < c.reported.size(); ++i) {
            EXPECT_EQ(p.delegate.calls[i].first, ParameterTypeLpfCutoffFrequency);
            EXPECT_EQ(p.delegate.calls[i].second, c.reported[i]) << i;
        }
        EXPECT_EQ(p.knob->value.load(), c.reported.back());
    }
}

TEST(SimpleKnob, SmallWheelDeltasAddUpAndAnInvertedWheelTurnsTheSameWay) {
    KnobOnPanel p(toolkit::makeRect(145, 270, 65, 65), 100, 0.0);
    MouseDriver mouse(*p.panel);
    for (int i = 0; i < 7; ++i)
        mouse.wheel(177, 302, 15);
    EXPECT_TRUE(p.delegate.calls.empty());
    mouse.wheel(177, 302, 15);
    ASSERT_EQ(p.delegate.calls.size(), 1u);
    EXPECT_EQ(p.delegate.calls[0].second, 1.0 / 99);
    // "Natural scrolling" reports the wheel turned away as a negative delta, and says so.
    mouse.wheel(177, 302, -120, true);
    ASSERT_EQ(p.delegate.calls.size(), 2u);
    EXPECT_EQ(p.delegate.calls[1].second, 2.0 / 99);
    // Beside the knob the wheel moves nothing.
    mouse.wheel(100, 302, 120);
    EXPECT_EQ(p.delegate.calls.size(), 2u);
}

TEST(SimpleKnob, WantsItsReadoutWhileThePointerIsOverItOrDraggingIt) {
    KnobOnPanel p(toolkit::makeRect(145, 270, 65, 65), 100, 0.5);
    MouseDriver mouse(*p.panel);
    mouse.move(100, 100);
    EXPECT_TRUE(p.delegate.readoutNotices.empty());
    mouse.move(177, 302);
    EXPECT_EQ(p.delegate.readoutNotices, std::vector<bool>{true});
    EXPECT_TRUE(p.knob->showsReadout());
    mouse.move(100, 100);
    EXPECT_EQ(p.delegate.readoutNotices, (std::vector<bool>{true, false}));

    // A drag that leaves the knob keeps the readout until the release.
    p.delegate.readoutNotices.clear();
    mouse.move(177, 302);
    mouse.press(177, 302);
    mouse.drag(300, 330);
    drainMainQueue(); // the new value is shown
    EXPECT_TRUE(p.knob->showsReadout());
    mouse.release(300, 330);
    drainMainQueue();
    EXPECT_FALSE(p.knob->showsReadout());
    // Qt tells of the leaving only at the release.
    EXPECT_EQ(p.delegate.readoutNotices, (std::vector<bool>{true, true, false}))
        << "entered, the dragged value shown, left";

    // A value shown while nobody looks brings no notice.
    p.delegate.readoutNotices.clear();
    p.knob->setValue(0.25);
    drainMainQueue();
    EXPECT_TRUE(p.delegate.readoutNotices.empty());
}

// Colour of a knob's pixel at knob angle φ (degrees clockwise from straight down) and radius r.
QColor atAngle(const QImage& image, double size, double phi, double r) {
    const double alpha = (270.0 - phi) * M_PI / 180.0;
    return pixelAt(image, size, size / 2 + r * std::cos(alpha), size / 2 + r * std::sin(alpha));
}

TEST(SimpleKnobDrawing, TravelRingDiscsAndZeroMark) {
    for (double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        Zelvar_SimpleKnob knob(toolkit::makeRect(0, 0, 65, 65));
        knob.value = 0.5;
        const QImage image = render(knob, ratio);
        const QColor ring = fromCode("#37cee8"), travel = fromCode("#e2b1b1");
        const QColor outer = fromCode("#a58787"), inner = fromCode("#f7f2ed");
        for (double phi : {60.0, 100.0, 170.0}) {
            EXPECT_TRUE(near(atAngle(image, 65, phi, 26), ring)) << phi;
        }
        for (double phi : {190.0, 250.0, 300.0}) {
            EXPECT_TRUE(near(atAngle(image, 65, phi, 26), travel)) << phi;
        }
        // The gap at the bottom shows the outer disc; the middle the inner disc (13 points of
        // ring, inner diameter 39); the corners stay transparent.
        EXPECT_TRUE(near(atAngle(image, 65, 0, 26), outer));
        EXPECT_TRUE(near(atAngle(image, 65, 20, 26), outer));
        EXPECT_TRUE(near(atAngle(image, 65, 100, 18.5), inner));
        EXPECT_TRUE(near(atAngle(image, 65, 100, 20.5), ring));
        EXPECT_TRUE(near(pixelAt(image, 65, 32.5, 32.5), inner));
        EXPECT_EQ(pixelAt(image, 65, 1, 1).alpha(), 0);
        // The zero mark: on the travel side of value 0, at φ 45 across the ring.
        Zelvar_SimpleKnob empty(toolkit::makeRect(0, 0, 65, 65));
        const QImage atZero = render(empty, ratio);
        EXPECT_TRUE(near(atAngle(atZero, 65, 45, 26), ring))
            << describe(atAngle(atZero, 65, 45, 26));
        EXPECT_TRUE(near(atAngle(atZero, 65, 52, 26), travel));
        EXPECT_TRUE(near(atAngle(atZero, 65, 100, 26), travel));
    }
}

TEST(SimpleKnobDrawing, RingStartingAtTheTopGrowsEitherWay) {
    Zelvar_SimpleKnob knob(toolkit::makeRect(0, 0, 65, 65));
    knob.ringStartValue = 0.5;
    const QColor ring = fromCode("#37cee8"), travel = fromCode("#e2b1b1");
    knob.value = 0.25; // counter-clockwise from the top to φ 112.5
    QImage image = render(knob);
    EXPECT_TRUE(near(atAngle(image, 65, 120, 26), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 170, 26), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 105, 26), travel));
    EXPECT_TRUE(near(atAngle(image, 65, 190, 26), travel));
    knob.value = 0.75; // clockwise from the top to φ 247.5
    image = render(knob);
    EXPECT_TRUE(near(atAngle(image, 65, 190, 26), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 240, 26), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 255, 26), travel));
    EXPECT_TRUE(near(atAngle(image, 65, 170, 26), travel));
    // With the value at the ring's start only the zero mark, straight up, shows.
    knob.value = 0.5;
    image = render(knob);
    EXPECT_TRUE(near(atAngle(image, 65, 180, 26), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 170, 26), travel));
    EXPECT_TRUE(near(atAngle(image, 65, 190, 26), travel));
}

TEST(SimpleKnobDrawing, LinePointerReachesTheRimAtTheValue) {
    Zelvar_SimpleLineKnob knob(toolkit::makeRect(0, 0, 65, 65));
    const QColor ring = fromCode("#37cee8"), inner = fromCode("#f7f2ed");
    knob.value = 0.0; // lower left, drawing angle 225°
    QImage image = render(knob);
    EXPECT_TRUE(near(atAngle(image, 65, 45, 10), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 45, 30), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 180, 10), inner));
    knob.value = 0.5; // straight up
    image = render(knob);
    EXPECT_TRUE(near(atAngle(image, 65, 180, 10), ring));
    EXPECT_TRUE(near(atAngle(image, 65, 45, 10), inner));
}

TEST(SimpleKnobDrawing, ValueBeyondTheTravelDrawsPastIt) {
    Zelvar_SimpleKnob knob(toolkit::makeRect(0, 0, 65, 65));
    knob.value = 1.1; // φ 342: into the gap
    const QImage image = render(knob);
    EXPECT_TRUE(near(atAngle(image, 65, 330, 26), fromCode("#37cee8")));
    EXPECT_TRUE(near(atAngle(image, 65, 350, 26), fromCode("#a58787")));
}

} // namespace
