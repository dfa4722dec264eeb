// The band-limited impulse-train oscillator: harmonic counts, pitch, direction, band limit and
// pulse width.
#include "SignalAnalysis.h"
#include "Spectrum.h"
#include "Zelvar_BlitOscillator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace analysis;

namespace {

Zelvar_BlitOscillator makeBlit(VcoWaveform waveform, double frequency) {
    Zelvar_BlitOscillator oscillator;
    oscillator.initialize();
    oscillator.setSamplingRate(44100.0);
    oscillator.setFrequency(frequency);
    oscillator.setWaveform(waveform);
    return oscillator;
}

} // namespace

TEST(BlitOscillator, HarmonicCountsAt1000Hz) {
    Zelvar_BlitOscillator oscillator = makeBlit(VcoWaveformSawtoothUp, 1000.0);
    EXPECT_DOUBLE_EQ(oscillator.getPeriod(), 44.1);
    EXPECT_EQ(oscillator.getHarmonicCount(), 44);
    oscillator.getValue();
    EXPECT_EQ(oscillator.getHarmonicCount(), 43);
    oscillator.setWaveform(VcoWaveformTriangle);
    oscillator.getValue();
    EXPECT_EQ(oscillator.getHarmonicCount(), 22);
    oscillator.setWaveform(VcoWaveformSquare);
    oscillator.getValue();
    EXPECT_EQ(oscillator.getHarmonicCount(), 22);
    // The sawtooth starts from the square's count (22, even, so 21) until the next new
    // frequency restores N = trunc(P).
    oscillator.setWaveform(VcoWaveformSawtoothDown);
    oscillator.getValue();
    EXPECT_EQ(oscillator.getHarmonicCount(), 21);
    oscillator.setFrequency(1000.0);
    EXPECT_EQ(oscillator.getHarmonicCount(), 21);
    oscillator.setFrequency(500.0);
    EXPECT_EQ(oscillator.getHarmonicCount(), 88);
}

TEST(BlitOscillator, RepeatingTheWaveformDoesNotReset) {
    Zelvar_BlitOscillator oscillator = makeBlit(VcoWaveformSquare, 1000.0);
    Zelvar_BlitOscillator twin = makeBlit(VcoWaveformSquare, 1000.0);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(oscillator.getValue(), twin.getValue());
    oscillator.setWaveform(VcoWaveformSquare);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(oscillator.getValue(), twin.getValue()) << i;
}

TEST(BlitOscillator, PitchFromZeroCrossings) {
    for (VcoWaveform waveform : {VcoWaveformSine, VcoWaveformTriangle, VcoWaveformSawtoothUp,
                                 VcoWaveformSawtoothDown, VcoWaveformSquare}) {
        for (double frequency : {220.0, 1000.0, 3520.0}) {
            Zelvar_BlitOscillator oscillator = makeBlit(waveform, frequency);
            std::vector<double> x = render(2 * 44100, [&] { return oscillator.getValue(); });
            // The leaky integrators settle in a few hundred samples; measure the second second.
            x.erase(x.begin(), x.begin() + 44100);
            double mean = 0.0;
            for (double v : x)
                mean += v / x.size();
            for (double& v : x)
                v -= mean;
            EXPECT_NEAR(frequencyByZeroCrossings(x, 0, x.size(), 44100.0), frequency,
                        frequency * 1e-6)
                << "waveform " << waveform << " at " << frequency << " Hz";
        }
    }
}

TEST(BlitOscillator, SawtoothDirectionsAndBandLimit) {
    for (VcoWaveform waveform : {VcoWaveformSawtoothUp, VcoWaveformSawtoothDown}) {
        Zelvar_BlitOscillator oscillator = makeBlit(waveform, 441.0);
        std::vector<double> x = render(2 * 44100, [&] { return oscillator.getValue(); });
        x.erase(x.begin(), x.begin() + 44100);
        // The ramp carries some ripple from the impulses, so its direction is the sign of the
        // median step, and the edge is the largest step.
        std::vector<double> steps;
        for (size_t i = 1; i < x.size(); ++i)
            steps.push_back(x[i] - x[i - 1]);
        std::vector<double> sorted = steps;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double medianStep = sorted[sorted.size() / 2];
        const double edge = *std::max_element(steps.begin(), steps.end(), [](double a, double b) {
            return std::fabs(a) < std::fabs(b);
        });
        if (waveform == VcoWaveformSawtoothUp) {
            EXPECT_GT(medianStep, 0.0);
            EXPECT_LT(edge, 0.0);
        } else {
            EXPECT_LT(medianStep, 0.0);
            EXPECT_GT(edge, 0.0);
        }
    }
    Zelvar_BlitOscillator oscillator = makeBlit(VcoWaveformSawtoothUp, 1001.0);
    std::vector<double> x = render(2 * 44100, [&] { return oscillator.getValue(); });
    x.erase(x.begin(), x.begin() + 44100);
    const double worst = worstAliasDb(magnitudeSpectrum(x), 1001);
    EXPECT_LT(worst, -80.0);
    RecordProperty("blit_sawtooth_worst_alias_db", std::to_string(worst));
}

TEST(BlitOscillator, PulseIsHighForItsWidthOfThePeriod) {
    for (double width : {0.2, 0.5, 0.7}) {
        Zelvar_BlitOscillator oscillator = makeBlit(VcoWaveformPulse, 441.0);
        oscillator.setPulseWidth(width);
        std::vector<double> x = render(44100, [&] { return oscillator.getValue(); });
        // In one late cycle, the rising edge and the following falling edge are the largest
        // upward and downward steps; their distance is the width of the pulse.
        const size_t start = 40000;
        size_t up = start;
        for (size_t i = start; i < start + 100; ++i)
            if (x[i + 1] - x[i] > x[up + 1] - x[up])
                up = i;
        size_t down = up;
        for (size_t i = up; i < up + 100; ++i)
            if (x[i + 1] - x[i] < x[down + 1] - x[down])
                down = i;
        EXPECT_NEAR(static_cast<double>(down - up), width * 100.0, 1.5) << width;
    }
}
