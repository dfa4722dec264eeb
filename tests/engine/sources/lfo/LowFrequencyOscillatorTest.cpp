// LFO waveforms, ranges and timing.
#include "Zelvar_LowFrequencyOscillator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::vector<double> renderLfo(Zelvar_LowFrequencyOscillator& lfo, int samples) {
    std::vector<double> out(samples);
    for (double& v : out)
        v = lfo.getValue();
    return out;
}

// frequency / rate = 1 / 1024 exactly, so phases are exact binary fractions.
constexpr double dyadicHz = 44100.0 / 1024.0;

} // namespace

TEST(LowFrequencyOscillator, ZeroFrequencyHoldsSineAtZero) {
    Zelvar_LowFrequencyOscillator lfo;
    lfo.setFrequency(0.0);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(lfo.getValue(), 0.0);
}

TEST(LowFrequencyOscillator, OneHertzSineCompletesOneCycleIn44100Samples) {
    Zelvar_LowFrequencyOscillator lfo(1.0, 44100.0, LfoWaveformSine);
    const auto out = renderLfo(lfo, 44101);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_NEAR(out[11025], 1.0, 1e-9);
    EXPECT_NEAR(out[22050], 0.0, 1e-9);
    EXPECT_NEAR(out[33075], -1.0, 1e-9);
    EXPECT_NEAR(out[44100], 0.0, 1e-9);
    int upwardCrossings = 0;
    for (size_t i = 1; i < out.size(); ++i)
        upwardCrossings += out[i - 1] < 0.0 && out[i] >= 0.0;
    EXPECT_EQ(upwardCrossings, 1);
}

TEST(LowFrequencyOscillator, TriangleCornersAndContinuity) {
    Zelvar_LowFrequencyOscillator lfo(dyadicHz, 44100.0, LfoWaveformTriangle);
    const auto out = renderLfo(lfo, 2049);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[256], 1.0);
    EXPECT_EQ(out[512], 0.0);
    EXPECT_EQ(out[768], -1.0);
    EXPECT_EQ(out[1024], 0.0);
    for (size_t i = 1; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i] - out[i - 1]), 4.0 / 1024.0 + 1e-12) << "jump at " << i;
}

TEST(LowFrequencyOscillator, EveryWaveformSpansMinusOneToOne) {
    for (const auto waveform : {LfoWaveformSine, LfoWaveformTriangle, LfoWaveformSawtoothUp,
                                LfoWaveformSawtoothDown, LfoWaveformSquare, LfoWaveformPulse}) {
        Zelvar_LowFrequencyOscillator lfo(dyadicHz, 44100.0, waveform);
        const auto out = renderLfo(lfo, 4096);
        const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
        EXPECT_GE(*lo, -1.0) << "waveform " << waveform;
        EXPECT_LE(*hi, 1.0) << "waveform " << waveform;
        EXPECT_LE(*lo, -0.99) << "waveform " << waveform;
        EXPECT_GE(*hi, 0.99) << "waveform " << waveform;
    }
}

TEST(LowFrequencyOscillator, SawtoothsRampInOppositeDirections) {
    Zelvar_LowFrequencyOscillator up(dyadicHz, 44100.0, LfoWaveformSawtoothUp);
    Zelvar_LowFrequencyOscillator down(dyadicHz, 44100.0, LfoWaveformSawtoothDown);
    const auto rising = renderLfo(up, 1024);
    const auto falling = renderLfo(down, 1024);
    EXPECT_EQ(rising[0], -1.0);
    EXPECT_EQ(falling[0], 1.0);
    EXPECT_EQ(rising[512], 0.0);
    for (int i = 1; i < 1024; ++i) {
        ASSERT_GT(rising[i], rising[i - 1]);
        ASSERT_LT(falling[i], falling[i - 1]);
    }
}

TEST(LowFrequencyOscillator, SquareAndPulseDutyCycles) {
    Zelvar_LowFrequencyOscillator square(dyadicHz, 44100.0, LfoWaveformSquare);
    Zelvar_LowFrequencyOscillator pulse(dyadicHz, 44100.0, LfoWaveformPulse);
    pulse.setPulseWidth(0.2);
    const auto squareOut = renderLfo(square, 10 * 1024);
    const auto pulseOut = renderLfo(pulse, 10 * 1024);
    for (int i = 0; i < 10 * 1024; ++i) {
        const int position = i % 1024;
        ASSERT_EQ(squareOut[i], position < 512 ? 1.0 : -1.0) << "sample " << i;
        // 0.2 of 1024 samples: phases below 204.8 / 1024.
        ASSERT_EQ(pulseOut[i], position <= 204 ? 1.0 : -1.0) << "sample " << i;
    }
}

TEST(LowFrequencyOscillator, NegativeFrequencyKeepsPhaseInRange) {
    Zelvar_LowFrequencyOscillator lfo(-3.0, 44100.0, LfoWaveformTriangle);
    const auto out = renderLfo(lfo, 44100);
    for (double v : out)
        ASSERT_TRUE(v >= -1.0 && v <= 1.0) << v;
    EXPECT_NEAR(out[44100 / 12], -1.0, 1e-3); // a quarter cycle backwards
}

TEST(LowFrequencyOscillator, HeldPhaseReusesItsValueUntilTheWaveformChanges) {
    Zelvar_LowFrequencyOscillator lfo(dyadicHz, 44100.0, LfoWaveformSawtoothUp);
    renderLfo(lfo, 256); // phase 1/4
    lfo.setFrequency(0.0);
    const double held = lfo.getValue();
    EXPECT_EQ(held, -0.5);

    // A waveform outside the six keeps the last value.
    lfo.setWaveform(LfoWaveform(9));
    EXPECT_EQ(lfo.getValue(), held);

    lfo.setWaveform(LfoWaveformTriangle);
    EXPECT_EQ(lfo.getValue(), 1.0);
}

// A run of frames is the same loop as frames one at a time, also across a frequency change.
TEST(LowFrequencyOscillator, RunGivesTheBitsOfSingleFrames) {
    Zelvar_LowFrequencyOscillator single(3.7, 44100.0, LfoWaveformSine);
    Zelvar_LowFrequencyOscillator runs(3.7, 44100.0, LfoWaveformSine);
    std::vector<double> out(1000);
    runs.render(out.data(), 300);
    runs.setFrequency(0.0);
    runs.render(out.data() + 300, 700);
    for (int i = 0; i < 1000; ++i) {
        if (i == 300)
            single.setFrequency(0.0);
        ASSERT_EQ(single.getValue(), out[i]) << i;
    }
}
