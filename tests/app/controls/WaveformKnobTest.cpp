// The waveform knob: its picture's place, the picture each position selects, and the drawn
// pictures.
#include "ColorCode.h"
#include "ControlsTestSupport.h"
#include "Zelvar_SimpleWaveformKnob.h"
#include "Zelvar_WaveformImageView.h"

#include <gtest/gtest.h>

namespace {

struct PanelWaveformKnob {
    PanelWaveformKnob() {
        knob.setFrame(toolkit::makeRect(30, 270, 65, 65));
        knob.resolution = 5;
        knob.knobDelegate = &delegate;
        knob.assignedParameter = ParameterTypeOscillatorWaveform;
        knob.initialize();
    }
    RecordingKnobDelegate delegate;
    Zelvar_SimpleWaveformKnob knob;
};

TEST(SimpleWaveformKnob, PlacesItsPictureFlatterThanTheInnerDisc) {
    PanelWaveformKnob p;
    const toolkit::Rect f = p.knob.waveformImageView->frame();
    EXPECT_DOUBLE_EQ(f.minX(), 19.5);
    EXPECT_NEAR(f.minY(), 24.7, 1e-12);
    EXPECT_DOUBLE_EQ(f.width(), 26.0);
    EXPECT_NEAR(f.height(), 15.6, 1e-12);
    EXPECT_EQ(p.knob.waveformImageView->superview(), &p.knob);
    EXPECT_EQ(p.knob.waveformImageView->backgroundColor, p.knob.centerColor);
    EXPECT_DOUBLE_EQ(p.knob.centerInWindow.x, 62.5);
    EXPECT_EQ(p.knob.waveformImageView->waveform, Waveform::sine);
}

TEST(SimpleWaveformKnob, PositionsSelectTheFivePanelWaveforms) {
    PanelWaveformKnob p;
    const Waveform expected[] = {Waveform::sine, Waveform::triangle, Waveform::sawtooth,
                                 Waveform::square, Waveform::noise};
    const double values[] = {0.0, 0.25, 0.5, 0.75, 1.0};
    for (int i = 4; i >= 0; --i) {
        p.knob.setValue(values[i]);
        drainMainQueue();
        EXPECT_EQ(p.knob.waveformImageView->waveform, expected[i]) << i;
    }
    EXPECT_EQ(p.delegate.calls.size(), 5u); // setValue reports, then the override shows
    p.knob.updateDisplay(0.75);
    drainMainQueue();
    p.knob.updateDisplay(1.3); // position 5: the knob redraws, the picture stays
    drainMainQueue();
    EXPECT_DOUBLE_EQ(p.knob.value, 1.25);
    EXPECT_EQ(p.knob.waveformImageView->waveform, Waveform::square);
    EXPECT_EQ(p.delegate.calls.size(), 5u);
}

TEST(SimpleWaveformKnob, TheWheelOverThePictureTurnsTheKnob) {
    PanelWaveformKnob p;
    auto* panel = new toolkit::View(toolkit::makeRect(0, 0, 480, 360));
    panel->addSubview(&p.knob);
    {
        MouseDriver mouse(*panel);
        mouse.wheel(62.5, 302.5, 120); // the middle of the picture
        mouse.wheel(40, 302.5, 120);   // the ring
        drainMainQueue();
    }
    ASSERT_EQ(p.delegate.calls.size(), 2u);
    EXPECT_EQ(p.delegate.calls[1].second, 0.5);
    EXPECT_EQ(p.knob.waveformImageView->waveform, Waveform::sawtooth);
    p.knob.setParent(nullptr); // the knob is the test's own
    delete panel;
}

TEST(SimpleWaveformKnob, DrawsThePictureOverTheInnerDisc) {
    Zelvar_SimpleWaveformKnob knob(toolkit::makeRect(0, 0, 65, 65));
    knob.resolution = 5;
    knob.initialize();
    knob.updateDisplay(0.5); // sawtooth: a vertical rise at x0 = 2.6 of the picture
    drainMainQueue();
    for (double ratio : {1.0, 2.0}) {
        const QImage image = render(knob, ratio);
        EXPECT_TRUE(near(pixelAt(image, 65, 19.5 + 2.6 + 0.5, 32.5), Qt::black, 10));
        EXPECT_TRUE(near(pixelAt(image, 65, 19.5 + 8, 40.5), fromCode("#f7f2ed")));
        // The ring is still drawn around it.
        EXPECT_TRUE(near(pixelAt(image, 65, 32.5 - 26, 32.5), fromCode("#37cee8"))); // φ 90
        EXPECT_TRUE(near(pixelAt(image, 65, 32.5 + 26, 32.5), fromCode("#e2b1b1"))); // φ 270
    }
}

TEST(WaveformImageView, DrawsBlackLinesOverItsBackground) {
    Zelvar_WaveformImageView view(toolkit::makeRect(0, 0, 26, 15.6));
    view.backgroundColor = initWithColorCode("#f7f2ed");
    EXPECT_TRUE(view.isOpaque());
    const QColor background = fromCode("#f7f2ed");

    view.waveform = Waveform::square; // top run at y = 14.04 from x0 to the middle
    QImage image = render(view);
    EXPECT_TRUE(near(pixelAt(image, 15.6, 8.0, 14.04), Qt::black, 10));
    EXPECT_TRUE(near(pixelAt(image, 15.6, 18.0, 14.04), background));
    EXPECT_TRUE(near(pixelAt(image, 15.6, 18.0, 1.56), Qt::black, 10));

    view.waveform = Waveform::sine; // crosses the middle going up at the left margin
    image = render(view);
    EXPECT_TRUE(near(pixelAt(image, 15.6, 7.8, 7.8 + 6.24 * std::sin(2 * M_PI * 5.2 / 20.8)),
                     Qt::black, 60));
    EXPECT_TRUE(near(pixelAt(image, 15.6, 7.8, 2.0), background));

    view.waveform = Waveform::pulse25; // only the background
    image = render(view);
    for (double x = 0.5; x < 26; x += 1.0) {
        for (double y = 1.0; y < 15.6; y += 1.0) {
            ASSERT_TRUE(near(pixelAt(image, 15.6, x, y), background)) << x << ", " << y;
        }
    }
}

} // namespace
