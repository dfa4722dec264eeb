// The controls' plain arithmetic: colour codes, knob values and angles, keyboard geometry and
// hit testing, waveform pictures.
#include "ColorCode.h"
#include "KeyboardLayout.h"
#include "KnobTravel.h"
#include "WaveformPicture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectColor(const toolkit::Color& c, double r, double g, double b, double a) {
    EXPECT_DOUBLE_EQ(c.red(), r);
    EXPECT_DOUBLE_EQ(c.green(), g);
    EXPECT_DOUBLE_EQ(c.blue(), b);
    EXPECT_DOUBLE_EQ(c.alpha(), a);
}

TEST(ColorCode, ReadsSixAndEightDigitCodes) {
    expectColor(initWithColorCode("#37cee8"), 55 / 255.0, 206 / 255.0, 232 / 255.0, 1.0);
    expectColor(initWithColorCode("#fefff900"), 254 / 255.0, 1.0, 249 / 255.0, 0.0);
    expectColor(initWithColorCode("#a58787"), 165 / 255.0, 135 / 255.0, 135 / 255.0, 1.0);
    EXPECT_EQ(initWithColorCode("#FFDBB2"), initWithColorCode("#ffdbb2"));
}

TEST(ColorCode, SkipsTheFirstCharacterWhateverItIs) {
    EXPECT_EQ(initWithColorCode("x37cee8"), initWithColorCode("#37cee8"));
    EXPECT_EQ(initWithColorCode("737cee8"), initWithColorCode("#37cee8"));
    // One character of two bytes still counts as one.
    EXPECT_EQ(initWithColorCode("\xC3\xA9"
                                "37cee8"),
              initWithColorCode("#37cee8"));
}

TEST(ColorCode, AnythingElseIsOpaqueBlack) {
    for (const char* code : {"", "#ab", "#37cee", "#37cee8f", "#37cee8ff0", "#37cgz8", "#\xC3"}) {
        SCOPED_TRACE(code);
        expectColor(initWithColorCode(code), 0.0, 0.0, 0.0, 1.0);
    }
}

TEST(KnobTravel, RoundsToTheResolutionHalvesAwayFromZero) {
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(0.3, 5), 0.25);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(0.375, 5), 0.5);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(0.625, 5), 0.75);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(0.5, 100), 50.0 / 99.0);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(0.123, 101), 0.12);
    // Not clamped.
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(1.3, 5), 1.25);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(-0.375, 5), -0.5);
}

TEST(KnobTravel, StepsGoFromTheNearestPositionAndHoldAtTheEnds) {
    EXPECT_EQ(KnobTravel::steppedValue(0.5, 1, 5), 0.75);
    EXPECT_EQ(KnobTravel::steppedValue(0.5, -2, 5), 0.0);
    EXPECT_EQ(KnobTravel::steppedValue(0.25, -3, 5), 0.0);
    EXPECT_EQ(KnobTravel::steppedValue(0.75, 7, 5), 1.0);
    // Exactly the positions rounding gives, so a stepped value and a dragged one compare equal.
    EXPECT_EQ(KnobTravel::steppedValue(0.0, 37, 100), KnobTravel::discretedValue(37.0 / 99, 100));
    EXPECT_EQ(KnobTravel::steppedValue(0.8, 1, 100), 80.0 / 99.0); // 0.8 lies nearest 79/99
    EXPECT_EQ(KnobTravel::steppedValue(1.0, -1, 100), 98.0 / 99.0);
    EXPECT_EQ(KnobTravel::steppedValue(1.3, 0, 5), 1.0);
    EXPECT_EQ(KnobTravel::steppedValue(std::nan(""), 1, 5), 0.25);
}

TEST(KnobTravel, WheelDeltasGatherIntoWholeNotches) {
    auto steps = KnobTravel::wheelSteps(0.0, 120.0);
    EXPECT_EQ(steps.positions, 1);
    EXPECT_EQ(steps.remainder, 0.0);
    steps = KnobTravel::wheelSteps(0.0, -360.0);
    EXPECT_EQ(steps.positions, -3);
    // A touchpad's eighth of a notch at a time: the eighth one completes a position.
    double remainder = 0.0;
    long long total = 0;
    for (int i = 0; i < 8; ++i) {
        steps = KnobTravel::wheelSteps(remainder, 15.0);
        remainder = steps.remainder;
        total += steps.positions;
        EXPECT_EQ(total, i == 7 ? 1 : 0) << i;
    }
    // Turning back first undoes what was gathered.
    steps = KnobTravel::wheelSteps(90.0, -100.0);
    EXPECT_EQ(steps.positions, 0);
    EXPECT_EQ(steps.remainder, -10.0);
    steps = KnobTravel::wheelSteps(-10.0, -115.0);
    EXPECT_EQ(steps.positions, -1);
    EXPECT_EQ(steps.remainder, -5.0);
}

TEST(KnobTravel, LinearBandIsFixedAtThePress) {
    const auto band = KnobTravel::linearBand(100.0, 0.5, 45.0, 315.0, 300.0);
    EXPECT_DOUBLE_EQ(band.minCoordinate, -12.5);
    EXPECT_DOUBLE_EQ(band.maxCoordinate, 212.5);
    const double v = KnobTravel::linearValue(KnobTravel::clampToBand(160.0, band), band);
    EXPECT_DOUBLE_EQ(v, 172.5 / 225.0);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(v, 100), 76.0 / 99.0);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(v, 101), 0.77);
    EXPECT_DOUBLE_EQ(KnobTravel::discretedValue(v, 5), 0.75);
    EXPECT_DOUBLE_EQ(KnobTravel::clampToBand(500.0, band), 212.5);
    EXPECT_DOUBLE_EQ(KnobTravel::clampToBand(-90.0, band), -12.5);
}

double rotary(double dx, double dy) {
    const auto theta = KnobTravel::rotaryTheta(dx, dy);
    return KnobTravel::rotaryValue(KnobTravel::clampedKnobAngle(*theta, 45.0, 315.0), 45.0, 315.0);
}

TEST(KnobTravel, RotaryAngleIsClockwiseFromStraightDown) {
    EXPECT_NEAR(*KnobTravel::rotaryTheta(0.0, 10.0) * 180 / M_PI, 180.0, 1e-12);
    EXPECT_NEAR(*KnobTravel::rotaryTheta(-10.0, 0.0) * 180 / M_PI, 90.0, 1e-12);
    EXPECT_NEAR(*KnobTravel::rotaryTheta(10.0, 0.0) * 180 / M_PI, 270.0, 1e-12);
    EXPECT_DOUBLE_EQ(rotary(0.0, 10.0), 0.5);
    EXPECT_NEAR(rotary(-10.0, 0.0), 1.0 / 6.0, 1e-12);
    EXPECT_NEAR(rotary(10.0, 0.0), 5.0 / 6.0, 1e-12);
    EXPECT_DOUBLE_EQ(rotary(-0.01, -10.0), 0.0);
    EXPECT_DOUBLE_EQ(rotary(0.01, -10.0), 1.0);
    EXPECT_DOUBLE_EQ(rotary(0.0, -10.0), 1.0);
}

TEST(KnobTravel, PointerAtTheCentreHasNoAngle) {
    EXPECT_FALSE(KnobTravel::rotaryTheta(0.0, 0.0).has_value());
    EXPECT_FALSE(KnobTravel::rotaryTheta(-0.0, 0.0).has_value());
}

TEST(KnobTravel, DrawingAngles) {
    EXPECT_DOUBLE_EQ(KnobTravel::drawingAngleDegrees(KnobTravel::knobAngle(0.0, 45, 315)), 225);
    EXPECT_DOUBLE_EQ(KnobTravel::drawingAngleDegrees(KnobTravel::knobAngle(1.0, 45, 315)), -45);
    EXPECT_DOUBLE_EQ(KnobTravel::knobAngle(0.25, 45, 315), 112.5);
}

KeyboardLayout panelKeyboard() {
    KeyboardLayout layout;
    layout.compute(480.0, 120.0, 2);
    return layout;
}

TEST(KeyboardLayout, PanelGeometry) {
    const KeyboardLayout k = panelKeyboard();
    EXPECT_DOUBLE_EQ(k.whiteKeyWidth, 32.0);
    EXPECT_DOUBLE_EQ(k.octaveWidth, 224.0);
    EXPECT_DOUBLE_EQ(k.blackKeyWidth, 19.2);
    EXPECT_DOUBLE_EQ(k.blackKeyHeight, 72.0);
    const double upper[12] = {0,        19.2,     38.4,  57.6,  76.8,     96,
                              113.8286, 133.0286, 150.4, 169.6, 186.9714, 206.1714};
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(k.xCoordinateArrayUpper[static_cast<size_t>(i)], upper[i], 5e-5) << i;
    }
    for (int j = 0; j < 7; ++j) {
        EXPECT_DOUBLE_EQ(k.xCoordinateArrayLower[static_cast<size_t>(j)], 32.0 * j);
    }
    EXPECT_EQ(k.keyCount(), 25);
}

TEST(KeyboardLayout, KeysAreStackedWhiteThenBlackPerOctaveThenTheTopC) {
    const auto keys = panelKeyboard().keys();
    ASSERT_EQ(keys.size(), 25u);
    const int order[25] = {0,  2,  4,  5,  7,  9,  11, 1,  3,  6,  8,  10, 12,
                           14, 16, 17, 19, 21, 23, 13, 15, 18, 20, 22, 24};
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].keyIndex, order[i]) << i;
    }
    // The black keys' frames agree with the hit-test boundaries.
    const KeyboardLayout layout = panelKeyboard();
    EXPECT_NEAR(keys[7].frame.minX(), layout.xCoordinateArrayUpper[1], 1e-9);
    EXPECT_NEAR(keys[9].frame.minX(), layout.xCoordinateArrayUpper[6], 1e-9);
    EXPECT_NEAR(keys[10].frame.minX(), layout.xCoordinateArrayUpper[8], 1e-9);
    EXPECT_NEAR(keys[11].frame.minX(), layout.xCoordinateArrayUpper[10], 1e-9);
    EXPECT_EQ(keys[7].keyType, KeyType::black);
    EXPECT_DOUBLE_EQ(keys[7].frame.minY(), 48.0);
    EXPECT_DOUBLE_EQ(keys[7].frame.height(), 72.0);
    EXPECT_EQ(keys[24].frame, toolkit::makeRect(448, 0, 32, 120));
}

TEST(KeyboardLayout, HitTestsOfThePanelKeyboard) {
    const KeyboardLayout k = panelKeyboard();
    struct Case {
        double x, y;
        int key;
    };
    const Case cases[] = {{10, 10, 0},    {20, 100, 1},   {100, 100, 5},  {120, 100, 6},
                          {210, 100, 11}, {224, 10, 12},  {460, 10, 24},  {478, 100, 24},
                          {40, 10, 2},    {19.1, 100, 0}, {38.5, 100, 2}, {-10, 10, 0},
                          {600, 10, 24},  {600, 100, 24}, {-0.5, 100, 0}, {10, 48, 0},
                          {20, 48.01, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(k.judgeKeyIndex(c.x, c.y, false), c.key) << c.x << ", " << c.y;
    }
}

TEST(KeyboardLayout, OutsideTrackingIsNotClamped) {
    const KeyboardLayout k = panelKeyboard();
    EXPECT_EQ(k.judgeKeyIndex(-10, 10, true), -1);  // the B below the keyboard
    EXPECT_EQ(k.judgeKeyIndex(478, 100, true), 25); // a C-sharp above the top C
    EXPECT_EQ(k.judgeKeyIndex(600, 10, true), 31);
}

TEST(WaveformPicture, SineOfThePanelPicture) {
    const auto p = WaveformPicture::points(Waveform::sine, 26.0, 15.6, 0.1);
    ASSERT_EQ(p.size(), 23u); // the start and 22 line segments
    EXPECT_DOUBLE_EQ(p[0].x, 2.6);
    EXPECT_DOUBLE_EQ(p[0].y, 7.8);
    EXPECT_DOUBLE_EQ(p[1].x, 2.6);
    EXPECT_DOUBLE_EQ(p.back().x, 23.6);
    double low = 1e9, high = -1e9;
    for (const auto& point : p) {
        low = std::min(low, point.y);
        high = std::max(high, point.y);
    }
    EXPECT_GE(low, 1.56 - 1e-12);
    EXPECT_LE(high, 14.04 + 1e-12);
    EXPECT_NEAR(low, 1.56, 0.1);
    EXPECT_NEAR(high, 14.04, 0.1);
    // A quarter period in, the curve is at its top.
    EXPECT_NEAR(p[1 + 5].y, 7.8 + 6.24 * std::sin(2 * M_PI * 5 / 20.8), 1e-12);
}

TEST(WaveformPicture, PolylinePictures) {
    using toolkit::Point;
    const auto tri = WaveformPicture::points(Waveform::triangle, 26.0, 15.6, 0.1);
    ASSERT_EQ(tri.size(), 4u);
    EXPECT_NEAR(tri[1].x, 2.6 + 5.2, 1e-12);
    EXPECT_NEAR(tri[1].y, 14.04, 1e-12);
    EXPECT_NEAR(tri[2].x, 2.6 + 15.6, 1e-12);
    EXPECT_NEAR(tri[3].x, 23.4, 1e-12);
    const auto saw = WaveformPicture::points(Waveform::sawtooth, 26.0, 15.6, 0.1);
    ASSERT_EQ(saw.size(), 3u);
    EXPECT_DOUBLE_EQ(saw[0].x, saw[1].x);
    EXPECT_NEAR(saw[0].y, 1.56, 1e-12);
    EXPECT_NEAR(saw[1].y, 14.04, 1e-12);
    const auto square = WaveformPicture::points(Waveform::square, 26.0, 15.6, 0.1);
    ASSERT_EQ(square.size(), 6u);
    EXPECT_DOUBLE_EQ(square[2].x, 13.0);
    EXPECT_DOUBLE_EQ(square[3].x, 13.0);
    const auto noise = WaveformPicture::points(Waveform::noise, 26.0, 15.6, 0.1);
    ASSERT_EQ(noise.size(), 7u);
    EXPECT_NEAR(noise[4].x, 2.6 + 0.7 * 20.8, 1e-12);
    EXPECT_NEAR(noise[4].y, 1.56, 1e-12);
    EXPECT_TRUE(WaveformPicture::points(Waveform::pulse25, 26.0, 15.6, 0.1).empty());
    EXPECT_TRUE(WaveformPicture::points(Waveform::pulse75, 26.0, 15.6, 0.1).empty());
}

} // namespace
