#include "SignalAnalysis.h"
#include "Zelvar_Downsampling.h"
#include "Zelvar_Oversampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double pi = std::numbers::pi;

// Level of the `hz` component of x (sampled at 44100 Hz) over whole periods of the range.
double level(const std::vector<double>& x, size_t from, size_t count, double hz) {
    return analysis::amplitudeAt(x, from, from + count, hz, 44100.0, analysis::Window::rectangular);
}

// A stand-in voice list at 88200 Hz: a 1 kHz tone and a 30 kHz tone that would alias to
// 14.1 kHz if the decimation were not low-passed first.
struct TwoToneVoiceList {
    long frame = 0;
    int updates = 0;
    void update() { ++updates; }
    double getValue() {
        const double t = double(frame++) / 88200.0;
        return 100.0 * (std::sin(2.0 * pi * 1000.0 * t) + std::sin(2.0 * pi * 30000.0 * t));
    }
    void setParameterManager(Zelvar_ParameterManager*) {}
};

} // namespace

TEST(BlockResampling, DownsamplingRemovesWhatWouldAlias) {
    TwoToneVoiceList voices;
    Zelvar_Downsampling down;
    down.setSourceVoiceList(&voices);
    ASSERT_TRUE(down.initialize(512, 2));
    std::vector<double> y(44100);
    for (double& v : y)
        v = down.nextValue();
    EXPECT_EQ(voices.updates, 44100);
    EXPECT_EQ(voices.frame, 88200);
    const double tone = level(y, 4410, 44100 - 4410, 1000.0);
    const double alias = level(y, 4410, 44100 - 4410, 44100.0 - 30000.0);
    // The source is scaled by 0.01; the 3 / N filter scaling over half-overlapped Hann blocks
    // gives the rest a gain of 3.
    EXPECT_NEAR(tone, 3.0, 1e-3);
    EXPECT_LT(alias, 1e-6 * tone);
}

TEST(BlockResampling, OversamplingPassesAToneAcrossBlockSeams) {
    Zelvar_Oversampling over;
    ASSERT_TRUE(over.initialize(512, 2));
    std::vector<double> y(44100);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = over.nextValue(std::sin(2.0 * pi * 1000.0 * double(i) / 44100.0));
    const double tone = level(y, 4410, 44100 - 4410, 1000.0);
    // Zero-stuffing by L keeps 1/L of the level; each of the two 3 / N filter passes over
    // half-overlapped Hann blocks gives 3: 9 / L in all, steady across the block seams.
    EXPECT_NEAR(tone, 4.5, 1e-3);
    double peak = 0.0;
    for (size_t i = 4410; i < y.size(); ++i)
        peak = std::fmax(peak, std::fabs(y[i]));
    EXPECT_NEAR(peak, 4.5, 5e-3);
}

TEST(BlockResampling, RefusedShapes) {
    Zelvar_Oversampling over;
    EXPECT_FALSE(over.initialize(511, 2)); // odd frame
    EXPECT_FALSE(over.initialize(384, 2)); // 768 is not a power of two
    EXPECT_FALSE(over.initialize(512, 0));
    EXPECT_EQ(over.nextValue(1.0), 0.0);
    Zelvar_Downsampling down;
    EXPECT_FALSE(down.initialize(0, 2));
    EXPECT_EQ(down.nextValue(), 0.0);
    ASSERT_TRUE(down.initialize(8, 4)); // no source bound: silence
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(down.nextValue(), 0.0);
}
