// Smoother step counts, exact landing on the target, and the linear and logarithmic scales.
#include "Zelvar_ValueSmoother.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The voice list's set-up at 44100 Hz: a whole-range ramp in 2205 steps (50 ms).
Zelvar_ValueSmoother makeSmoother(double minimum, double maximum, bool logarithmic, double start) {
    Zelvar_ValueSmoother smoother;
    smoother.setMinValue(minimum);
    smoother.setMaxValue(maximum);
    smoother.setNormalizedDelta(1.0 / 2205.0);
    smoother.setLogarithmic(logarithmic);
    smoother.setCurrentValue(start);
    return smoother;
}

} // namespace

TEST(ValueSmoother, LinearRampTakes2205EqualStepsAndLandsExactly) {
    auto smoother = makeSmoother(0.0, 1.0, false, 0.0);
    smoother.setTargetValue(1.0);
    for (int k = 1; k <= 2205; ++k) {
        const double v = smoother.nextValue();
        ASSERT_NEAR(v, k / 2205.0, 1e-12) << "step " << k;
        if (k < 2205) {
            ASSERT_LT(v, 1.0);
        }
    }
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(smoother.nextValue(), 1.0);
}

TEST(ValueSmoother, RetargetReversesDeltaAndCountsAfresh) {
    auto smoother = makeSmoother(0.0, 1.0, false, 0.0);
    smoother.setTargetValue(1.0);
    double v = 0.0;
    for (int k = 0; k < 1102; ++k)
        v = smoother.nextValue();
    ASSERT_NEAR(v, 1102.0 / 2205.0, 1e-12);
    // (1102 - 551.25) = 550.75 steps down: 550 whole steps, then the landing.
    smoother.setTargetValue(0.25);
    for (int k = 1; k <= 550; ++k) {
        v = smoother.nextValue();
        ASSERT_NEAR(v, (1102.0 - k) / 2205.0, 1e-12) << "step " << k;
        ASSERT_GT(v, 0.25);
    }
    EXPECT_EQ(smoother.nextValue(), 0.25);
    EXPECT_EQ(smoother.nextValue(), 0.25);
}

// Owners set the target on every sample; an unchanged target must not restart the count.
TEST(ValueSmoother, RepeatedTargetKeepsRampGoing) {
    auto smoother = makeSmoother(0.0, 1.0, false, 0.0);
    int calls = 0;
    double v = 0.0;
    while (v != 1.0 && calls < 10000) {
        smoother.setTargetValue(1.0);
        v = smoother.nextValue();
        ++calls;
    }
    EXPECT_EQ(calls, 2206);
}

TEST(ValueSmoother, LogarithmicRampMultipliesByEqualRatio) {
    auto smoother = makeSmoother(200.0, 20000.0, true, 200.0);
    smoother.setTargetValue(20000.0);
    const double ratio = std::pow(10.0, 2.0 / 2205.0);
    EXPECT_NEAR(ratio, 1.0020907, 1e-7);
    double previous = 200.0;
    for (int k = 1; k <= 2205; ++k) {
        const double v = smoother.nextValue();
        ASSERT_NEAR(v / previous, ratio, 1e-9) << "step " << k;
        ASSERT_LT(v, 20000.0 * (1.0 + 1e-9));
        previous = v;
    }
    EXPECT_EQ(smoother.nextValue(), 20000.0);
    EXPECT_EQ(smoother.nextValue(), 20000.0);
}

// Each octave of a logarithmic glide takes the same number of steps.
TEST(ValueSmoother, LogarithmicGlidePassesOctavesInEqualTime) {
    auto smoother = makeSmoother(200.0, 20000.0, true, 400.0);
    smoother.setTargetValue(1600.0);
    int toOctave = 0;
    int calls = 0;
    double v = 400.0;
    while (v != 1600.0 && calls < 10000) {
        v = smoother.nextValue();
        ++calls;
        if (toOctave == 0 && v >= 800.0)
            toOctave = calls;
    }
    // log10(2) / 2 of the range per octave: 331.9 steps.
    EXPECT_NEAR(toOctave, 2205.0 * std::log10(2.0) / 2.0, 1.0);
    EXPECT_EQ(calls, 664);
}

TEST(ValueSmoother, TargetAboveMaximumRampsToMaximum) {
    auto smoother = makeSmoother(0.0, 1.0, false, 0.5);
    smoother.setTargetValue(3.0);
    double v = 0.0;
    for (int k = 0; k < 5000; ++k)
        v = smoother.nextValue();
    EXPECT_EQ(v, 1.0);
}

TEST(ValueSmoother, TargetBelowMinimumIsUsedUnchanged) {
    auto smoother = makeSmoother(0.0, 1.0, false, 0.5);
    smoother.setTargetValue(-0.5);
    int calls = 0;
    double v = 0.5;
    while (v != -0.5 && calls < 10000) {
        v = smoother.nextValue();
        ++calls;
    }
    EXPECT_EQ(v, -0.5);
    EXPECT_EQ(calls, 2206);
}

TEST(ValueSmoother, SetCurrentValueJumpsWithoutRamp) {
    auto smoother = makeSmoother(0.0, 1.0, false, 0.0);
    smoother.setTargetValue(1.0);
    smoother.nextValue();
    smoother.setCurrentValue(0.3);
    EXPECT_EQ(smoother.nextValue(), 0.3);
    EXPECT_EQ(smoother.nextValue(), 0.3);
}
