// The small numeric helpers every engine folder leans on: conversions that are defined for every
// double, the phase step, and the constants whose bits the wavetables and golden renders carry.
#include "MathConstants.h"
#include "NumericConversion.h"
#include "Phase.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

} // namespace

TEST(NumericConversion, SampleTimesSaturateAtBothEnds) {
    for (double below : {-1.0, -0.0, -infinity, notANumber, 0.999})
        EXPECT_EQ(truncateToUInt64(below), 0u) << below;
    EXPECT_EQ(truncateToUInt64(1024.9), 1024u);
    EXPECT_EQ(truncateToUInt64(1e19), 10000000000000000000u);
    EXPECT_EQ(truncateToUInt64(18446744073709549568.0), 18446744073709549568u) << "largest below";
    for (double above : {18446744073709551616.0, 1e300, infinity})
        EXPECT_EQ(truncateToUInt64(above), UINT64_MAX) << above;
}

TEST(NumericConversion, IntTruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(truncateToInt(60.9), 60);
    EXPECT_EQ(truncateToInt(-1.5), -1);
    EXPECT_EQ(truncateToInt(-0.5), 0);
    EXPECT_EQ(truncateToInt(notANumber), 0);
    EXPECT_EQ(truncateToInt(2147483646.9), 2147483646);
    EXPECT_EQ(truncateToInt(-2147483647.9), -2147483647);
    for (double above : {2147483647.0, 2147483648.0, 1e300, infinity})
        EXPECT_EQ(truncateToInt(above), INT_MAX) << above;
    for (double below : {-2147483648.0, -2147483649.0, -1e300, -infinity})
        EXPECT_EQ(truncateToInt(below), INT_MIN) << below;
}

TEST(NumericConversion, CountsNeverGoNegativeOrPastTheirLimit) {
    EXPECT_EQ(truncateToCount(44.1, 1000), 44);
    EXPECT_EQ(truncateToCount(22.05, 1000), 22);
    for (double none : {-0.5, -44.1, -infinity, notANumber})
        EXPECT_EQ(truncateToCount(none, 1000), 0) << none;
    EXPECT_EQ(truncateToCount(1000.0, 1000), 1000);
    EXPECT_EQ(truncateToCount(1000.5, 1000), 1000) << "1000.5 truncates to the limit itself";
    EXPECT_EQ(truncateToCount(1001.0, 1000), 1000);
    EXPECT_EQ(truncateToCount(infinity, 1000000000), 1000000000);
    EXPECT_EQ(truncateToCount(1e300, 1000000000), 1000000000);
}

TEST(NumericConversion, OffsetsStayWithinTheirBound) {
    constexpr int64_t bound = int64_t(1) << 62;
    EXPECT_EQ(truncateToInt64Within(notANumber, bound), 0);
    EXPECT_EQ(truncateToInt64Within(-7.9, bound), -7);
    EXPECT_EQ(truncateToInt64Within(123456.75, bound), 123456);
    EXPECT_EQ(truncateToInt64Within(4611686018427387904.0, bound), bound);
    EXPECT_EQ(truncateToInt64Within(infinity, bound), bound);
    EXPECT_EQ(truncateToInt64Within(-1e300, bound), -bound);
    EXPECT_EQ(truncateToInt64Within(-infinity, bound), -bound);
}

TEST(NumericConversion, RoundingTakesHalvesAwayFromZero) {
    EXPECT_EQ(roundHalfAway(0.5), 1.0);
    EXPECT_EQ(roundHalfAway(2.5), 3.0);
    EXPECT_EQ(roundHalfAway(-0.5), -1.0);
    EXPECT_EQ(roundHalfAway(0.49999999999999994), 0.0);
    EXPECT_EQ(roundHalfAway(999.5), 1000.0);
}

TEST(Phase, OneWrapSubtractsOnceAtTheTop) {
    EXPECT_EQ(wrapPhaseOnce(0.0), 0.0);
    EXPECT_EQ(wrapPhaseOnce(0.75), 0.75);
    EXPECT_EQ(wrapPhaseOnce(1.0), 0.0);
    EXPECT_EQ(wrapPhaseOnce(1.25), 0.25);
    EXPECT_EQ(wrapPhaseOnce(2.5), 1.5) << "only one subtraction";
    EXPECT_EQ(wrapPhaseOnce(-0.25), -0.25) << "nothing below";
}

// The oscillators that step with the one wrap and those that step with advancePhase must agree
// bit for bit wherever the one wrap is enough: a phase in [0, 1) and an increment in [0, 1).
TEST(Phase, AdvanceEqualsOneWrapForInRangeIncrements) {
    std::mt19937_64 random(18);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 100000; ++i) {
        const double phase = unit(random), increment = unit(random) * (i % 2 ? 1.0 : 1e-3);
        const double wrapped = wrapPhaseOnce(phase + increment);
        ASSERT_EQ(std::bit_cast<uint64_t>(advancePhase(phase, increment)),
                  std::bit_cast<uint64_t>(wrapped))
            << phase << " + " << increment;
        ASSERT_TRUE(wrapped >= 0.0 && wrapped < 1.0);
    }
    const double justBelowOne = std::nextafter(1.0, 0.0);
    EXPECT_LT(advancePhase(justBelowOne, justBelowOne), 1.0);
}

TEST(Phase, AdvanceFoldsAnyOtherIncrementBackIntoOneCycle) {
    EXPECT_DOUBLE_EQ(advancePhase(0.25, -0.5), 0.75);
    EXPECT_DOUBLE_EQ(advancePhase(0.5, 3.25), 0.75);
    EXPECT_DOUBLE_EQ(advancePhase(0.5, -7.75), 0.75);
    EXPECT_EQ(advancePhase(0.0, -1e-20), 0.0) << "a tiny negative phase rounds up to 1, taken as 0";
    for (double increment : {1e10, -1e10, 1e300, -1e300}) {
        const double phase = advancePhase(0.3, increment);
        EXPECT_TRUE(phase >= 0.0 && phase < 1.0) << increment;
    }
}

TEST(MathConstants, KeepTheBitsTheTablesWereComputedWith) {
    EXPECT_EQ(twoPi, 6.283185307179586);
    EXPECT_EQ(twoOverPi, 0.6366197723675814);
    EXPECT_EQ(eightOverPiSquared, 0.8105694691387022);
    EXPECT_EQ(twoPi * 0.25, std::numbers::pi / 2.0);
}
