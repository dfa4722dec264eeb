#include "SignalAnalysis.h"
#include "Zelvar_SamplingRateConverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

constexpr double sourceRate = 44100.0;
constexpr double targetRate = 48000.0;

struct ConstantSource {
    double left = 1.0;
    double right = 0.5;
    std::vector<uint64_t> times;
    void renderSample(uint64_t sampleTime, double* l, double* r) {
        times.push_back(sampleTime);
        *l = left;
        *r = right;
    }
};

// Successive source frames of a sine; the sample time handed in is ignored, as the engine
// would render successive frames for repeated calls.
struct SineSource {
    double frequency = 1000.0;
    uint64_t frame = 0;
    void renderSample(uint64_t, double* l, double* r) {
        const double v = std::sin(2.0 * std::numbers::pi * frequency * double(frame) / sourceRate);
        ++frame;
        *l = v;
        *r = -v;
    }
};

template <class Source> Zelvar_SamplingRateConverter makeConverter(Source& source) {
    return Zelvar_SamplingRateConverter(&Zelvar_SamplingRateConverter::renderFrom<Source>, &source,
                                        sourceRate, targetRate, 1024);
}

// Source frame m (counted from 0) sits at (m + 1)·Ts − (k + 1)·To seconds from output instant k;
// the window holds the frames from one just before −Tw up to +Tw.
double weightSum(const Zelvar_SamplingRateConverter& converter, int k) {
    const double ts = 1.0 / sourceRate, to = 1.0 / targetRate;
    const double tw = converter.getWindowHalfWidth();
    double sum = 0.0;
    for (int m = 0; m < 4 * (k + 20); ++m) {
        const double t = (m + 1) * ts - (k + 1) * to;
        if (t >= -tw - ts && t <= tw)
            sum += converter.weight(t);
    }
    return sum;
}

} // namespace

TEST(SamplingRateConverter, ConstantInputGivesTheWeightSum) {
    ConstantSource source;
    Zelvar_SamplingRateConverter converter = makeConverter(source);
    double l = 1.0, r = 1.0;
    converter.getValue(0.0, &l, &r); // not initialised: silent, the source is not asked
    EXPECT_EQ(l, 0.0);
    EXPECT_EQ(r, 0.0);
    EXPECT_TRUE(source.times.empty());

    converter.initialize();
    EXPECT_DOUBLE_EQ(converter.getWindowHalfWidth(), 8.0 / sourceRate);
    double minimum = 2.0, maximum = 0.0;
    for (int k = 0; k < 2000; ++k) {
        converter.getValue(1234.9, &l, &r);
        if (k >= 20) { // past the ramp-in from the zeroed ring
            ASSERT_NEAR(l, weightSum(converter, k), 1e-9) << k;
            minimum = std::fmin(minimum, l);
            maximum = std::fmax(maximum, l);
        }
        ASSERT_DOUBLE_EQ(r, 0.5 * l);
    }
    // A windowed sinc sums to nearly one whatever the fractional position.
    EXPECT_GT(minimum, 0.999);
    EXPECT_LT(maximum, 1.002);
    // 2000 outputs at 48 kHz take 2000 × 44100 / 48000 = 1837.5 source frames, plus the window.
    EXPECT_NEAR(double(source.times.size()), 1837.5 + 8.0, 2.0);
    for (uint64_t t : source.times)
        ASSERT_EQ(t, 1234u);
}

TEST(SamplingRateConverter, OneKilohertzSineKeepsPitchAndLevel) {
    SineSource sine;
    Zelvar_SamplingRateConverter converter = makeConverter(sine);
    converter.initialize();
    ConstantSource unit;
    Zelvar_SamplingRateConverter reference = makeConverter(unit);
    reference.initialize();

    const int frames = 48000;
    std::vector<double> left(frames), right(frames), weights(frames);
    for (int k = 0; k < frames; ++k) {
        double r = 0.0;
        converter.getValue(double(k), &left[k], &right[k]);
        reference.getValue(double(k), &weights[k], &r);
    }

    // Pitch from rising zero crossings, interpolated, past the ramp-in.
    const std::vector<double> crossings = analysis::risingZeroCrossings(left, 99, frames);
    ASSERT_GT(crossings.size(), 900u);
    EXPECT_NEAR(analysis::frequencyFromCrossings(crossings, targetRate), 1000.0, 0.01);

    // Output frame k lies at source position (k + 1)·To − Ts, and its level is the sum of the
    // weights in the window at that instant.
    const double ts = 1.0 / sourceRate, to = 1.0 / targetRate;
    double worst = 0.0, levelSum = 0.0, fitSum = 0.0;
    for (int k = 100; k < frames; ++k) {
        const double ideal = std::sin(2.0 * std::numbers::pi * 1000.0 * ((k + 1) * to - ts));
        worst = std::fmax(worst, std::fabs(left[k] - weights[k] * ideal));
        ASSERT_DOUBLE_EQ(right[k], -left[k]);
        levelSum += left[k] * ideal;
        fitSum += ideal * ideal;
    }
    const double meanWeight = [&] {
        double sum = 0.0;
        for (int k = 100; k < frames; ++k)
            sum += weights[k];
        return sum / (frames - 100);
    }();
    EXPECT_NEAR(levelSum / fitSum, meanWeight, 5e-4);
    EXPECT_LT(worst, 2e-3);
}

TEST(SamplingRateConverter, RingIsSizedForTheWindow) {
    ConstantSource source;
    Zelvar_SamplingRateConverter small(&Zelvar_SamplingRateConverter::renderFrom<ConstantSource>,
                                       &source, sourceRate, targetRate, 3);
    EXPECT_EQ(small.getRingSize(), 32); // a power of two holding 2·8 + 1 frames and more
    Zelvar_SamplingRateConverter odd(&Zelvar_SamplingRateConverter::renderFrom<ConstantSource>,
                                     &source, -1.0, 0.0, 1000);
    EXPECT_EQ(odd.getRingSize(), 1024);
    odd.initialize();
    EXPECT_DOUBLE_EQ(odd.getWindowHalfWidth(), 8.0 / sourceRate); // rates fell back to defaults
}
