// FM source range and period.
#include "Zelvar_FrequencyModulation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

TEST(FrequencyModulation, StartsAtZeroAndStaysWithinUnitRange) {
    Zelvar_FrequencyModulation fm;
    EXPECT_EQ(fm.getValue(), 0.0);
    double lo = 0.0, hi = 0.0;
    for (int i = 0; i < 44100; ++i) {
        const double v = fm.getValue();
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, -1.0);
    EXPECT_LE(hi, 1.0);
    EXPECT_LT(lo, -0.99);
    EXPECT_GT(hi, 0.99);
}

// The modulator is taken from the carrier's own phase in [0, 1), so the tone repeats with every
// carrier cycle (100 samples at 441 Hz); within a cycle the modulator turns 3.5 times.
TEST(FrequencyModulation, ToneRepeatsEachCarrierCycleWithModulatorAtThreePointFive) {
    Zelvar_FrequencyModulation fm;
    fm.setFrequency(441.0);
    std::vector<double> out(300);
    for (double& v : out)
        v = fm.getValue();
    double periodDifference = 0.0;
    for (int i = 0; i < 200; ++i)
        periodDifference = std::max(periodDifference, std::fabs(out[i + 100] - out[i]));
    EXPECT_LT(periodDifference, 1e-9);
    const double pi = std::numbers::pi;
    EXPECT_NEAR(out[25], std::sin(pi / 2.0 + std::sin(3.5 * pi / 2.0)), 1e-9);
    EXPECT_NEAR(out[50], std::sin(pi - 1.0), 1e-9); // sin(3.5 pi) = -1
    EXPECT_NEAR(out[75], std::sin(1.5 * pi + std::sin(3.5 * 1.5 * pi)), 1e-9);
}
