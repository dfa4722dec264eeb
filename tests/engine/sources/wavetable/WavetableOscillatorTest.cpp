#include "ComputedWavetables.h"
#include "SignalAnalysis.h"
#include "Spectrum.h"
#include "Zelvar_WavetableOscillator.h"
#include "Zelvar_WavetableProvider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <tuple>

using namespace analysis;

namespace {

constexpr int oneSecond = 44100;

class WavetableOscillator : public ::testing::Test {
protected:
    static void SetUpTestSuite() { provider = computedWavetables(); }

    static Zelvar_WavetableOscillator make(WavetableWaveform waveform, double frequency) {
        Zelvar_WavetableOscillator oscillator;
        oscillator.setWavetableProvider(provider);
        oscillator.setSamplingRate(44100.0);
        oscillator.setWaveform(waveform);
        oscillator.setFrequency(frequency);
        return oscillator;
    }

    static std::vector<double> renderSecond(Zelvar_WavetableOscillator& oscillator) {
        return render(oneSecond, [&] { return oscillator.getValue(); });
    }

    static Zelvar_WavetableProvider* provider;
};

Zelvar_WavetableProvider* WavetableOscillator::provider = nullptr;

} // namespace

// The aliasing criterion: with a one-second render at an integer frequency that does not
// divide 44100, harmonics sit on multiples of the fundamental's bin; anything else is an alias
// (or an image of the table interpolation).
TEST_F(WavetableOscillator, SawtoothHoldsNoAliasAboveMinus80Decibels) {
    for (int frequency : {110, 220, 440, 1001, 2999, 7001}) {
        Zelvar_WavetableOscillator oscillator = make(WavetableWaveformSawtooth, frequency);
        const std::vector<double> spectrum = magnitudeSpectrum(renderSecond(oscillator));
        const double worst = worstAliasDb(spectrum, frequency);
        EXPECT_LT(worst, -80.0) << frequency << " Hz";
        RecordProperty("worst_alias_db_" + std::to_string(frequency), std::to_string(worst));
        EXPECT_NEAR(binAmplitude(spectrum, frequency, oneSecond), 2.0 / std::numbers::pi, 1e-3);
    }
}

TEST_F(WavetableOscillator, SquareTriangleAndPulseAreBandLimitedToo) {
    for (WavetableWaveform waveform :
         {WavetableWaveformSquare, WavetableWaveformTriangle, WavetableWaveformPulse}) {
        for (int frequency : {440, 2999}) {
            Zelvar_WavetableOscillator oscillator = make(waveform, frequency);
            oscillator.setPulseWidth(0.3);
            const double worst =
                worstAliasDb(magnitudeSpectrum(renderSecond(oscillator)), frequency);
            EXPECT_LT(worst, -80.0) << "waveform " << waveform << " at " << frequency << " Hz";
        }
    }
}

TEST_F(WavetableOscillator, At440HzHarmonic50IsCrossFadedIn) {
    Zelvar_WavetableOscillator oscillator = make(WavetableWaveformSawtooth, 440.0);
    EXPECT_EQ(oscillator.getHarmonicLimit(), 50);
    const std::vector<double> spectrum = magnitudeSpectrum(renderSecond(oscillator));
    const auto relative = [&](int harmonic) {
        return binAmplitude(spectrum, 440 * harmonic, oneSecond) /
               (2.0 / (std::numbers::pi * harmonic));
    };
    // Linear interpolation in a 2048-sample table loses a little at the top harmonics.
    EXPECT_NEAR(relative(2), 1.0, 1e-3);
    EXPECT_NEAR(relative(49), 1.0, 5e-3);
    EXPECT_NEAR(relative(50), (441.0 - 440.0) / (441.0 - 22050.0 / 51.0), 2e-3);
}

// Across every table change of the keyboard the waveform just above and just below the
// boundary frequency is the same: the cross-faded harmonic arrives at full weight exactly
// where the next table starts to hold it. Read at the table's own sample points so that only
// the weights, not the interpolation, are compared.
TEST_F(WavetableOscillator, TableChangesAcrossTheKeyboardAreSeamless) {
    double worstSawtooth = 0.0;
    for (int h = 2; h < 500; ++h) {
        const double boundary = 22050.0 / (h + 1);
        Zelvar_WavetableOscillator above = make(WavetableWaveformSawtooth, boundary * (1 + 1e-12));
        Zelvar_WavetableOscillator below = make(WavetableWaveformSawtooth, boundary * (1 - 1e-12));
        ASSERT_EQ(below.getHarmonicLimit(), above.getHarmonicLimit() + 1);
        for (int j = 0; j < 2048; j += 7) {
            const double p = j / 2048.0;
            worstSawtooth =
                std::max(worstSawtooth, std::fabs(above.getSawtooth(p) - below.getSawtooth(p)));
        }
    }
    EXPECT_LT(worstSawtooth, 1e-9);

    double worstTriangle = 0.0;
    for (int q = 3; q < 502; ++q) {
        const double boundary = 22050.0 / (2 * q - 1);
        Zelvar_WavetableOscillator above = make(WavetableWaveformTriangle, boundary * (1 + 1e-12));
        Zelvar_WavetableOscillator below = make(WavetableWaveformTriangle, boundary * (1 - 1e-12));
        for (int j = 0; j < 2048; j += 7) {
            const double p = j / 2048.0;
            worstTriangle =
                std::max(worstTriangle, std::fabs(above.getTriangle(p) - below.getTriangle(p)));
        }
    }
    EXPECT_LT(worstTriangle, 1e-9);
}

TEST_F(WavetableOscillator, PitchFromZeroCrossings) {
    for (WavetableWaveform waveform : {WavetableWaveformSine, WavetableWaveformTriangle,
                                       WavetableWaveformSawtooth, WavetableWaveformSquare}) {
        for (double frequency : {27.5, 261.6255653, 1000.0, 4186.009}) {
            Zelvar_WavetableOscillator oscillator = make(waveform, frequency);
            const std::vector<double> x = renderSecond(oscillator);
            const double measured = frequencyByZeroCrossings(x, 0, x.size(), 44100.0);
            EXPECT_NEAR(measured, frequency, frequency * 1e-6)
                << "waveform " << waveform << " at " << frequency << " Hz";
        }
    }
}

TEST_F(WavetableOscillator, PulseWidthIsTheShareOfTheCycleAtPlusOne) {
    for (double width : {0.1, 0.25, 0.5, 0.8}) {
        Zelvar_WavetableOscillator oscillator = make(WavetableWaveformPulse, 441.0);
        oscillator.setPulseWidth(width);
        const std::vector<double> x = renderSecond(oscillator);
        double mean = 0.0;
        int high = 0;
        for (double v : x) {
            mean += v / x.size();
            high += v > 0.0 ? 1 : 0;
        }
        EXPECT_NEAR(static_cast<double>(high) / x.size(), width, 0.015) << width;
        EXPECT_NEAR(mean, 2.0 * width - 1.0, 0.01) << width;
    }
    // Width 0.5 is the square, sample for sample; width 0 is -1 throughout.
    Zelvar_WavetableOscillator pulse = make(WavetableWaveformPulse, 441.0);
    Zelvar_WavetableOscillator square = make(WavetableWaveformSquare, 441.0);
    pulse.setPulseWidth(0.5);
    for (int i = 0; i < 1000; ++i)
        ASSERT_NEAR(pulse.getValue(), square.getValue(), 1e-15) << i;
    pulse.setPulseWidth(0.0);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(pulse.getValue(), -1.0) << i;
}

TEST_F(WavetableOscillator, SquareIsLowInTheFirstHalfOfTheCycle) {
    Zelvar_WavetableOscillator square = make(WavetableWaveformSquare, 441.0);
    const std::vector<double> x = render(100, [&] { return square.getValue(); });
    EXPECT_NEAR(x[25], -1.0, 0.05);
    EXPECT_NEAR(x[75], 1.0, 0.05);
}

TEST_F(WavetableOscillator, HighPitchesPlayTheFundamentalAlone) {
    for (auto [waveform, frequency, amplitude] :
         {std::tuple{WavetableWaveformSawtooth, 12000, 2.0 / std::numbers::pi},
          std::tuple{WavetableWaveformTriangle, 8000,
                     8.0 / (std::numbers::pi * std::numbers::pi)}}) {
        Zelvar_WavetableOscillator oscillator = make(waveform, frequency);
        const std::vector<double> spectrum = magnitudeSpectrum(renderSecond(oscillator));
        EXPECT_NEAR(binAmplitude(spectrum, frequency, oneSecond), amplitude, 1e-3);
        double others = 0.0;
        for (size_t k = 1; k < spectrum.size(); ++k)
            if (k != static_cast<size_t>(frequency))
                others = std::max(others, spectrum[k]);
        EXPECT_LT(20.0 * std::log10(others / spectrum[frequency]), -80.0) << frequency;
    }
}

TEST_F(WavetableOscillator, OutsideOneTo18000HzIsSilentAndThePhaseHolds) {
    // -1e-5 Hz puts the harmonic limit at INT_MIN: no table, no overflow choosing one.
    for (double frequency :
         {0.5, 18000.5, 0.0, -440.0, -1e-5, -0.0, std::numeric_limits<double>::quiet_NaN(),
          std::numeric_limits<double>::infinity()}) {
        Zelvar_WavetableOscillator oscillator = make(WavetableWaveformSawtooth, 440.0);
        for (int i = 0; i < 10; ++i)
            oscillator.getValue();
        const double phase = oscillator.getPhase();
        oscillator.setFrequency(frequency);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(oscillator.getValue(), 0.0) << frequency;
        EXPECT_EQ(oscillator.getPhase(), phase);
    }
    Zelvar_WavetableOscillator top = make(WavetableWaveformSine, 18000.0);
    top.getValue();
    EXPECT_NE(top.getValue(), 0.0);
}

TEST_F(WavetableOscillator, CreationStateBelongsTo1000Hz) {
    Zelvar_WavetableOscillator oscillator;
    EXPECT_EQ(oscillator.getWaveform(), WavetableWaveformTriangle);
    EXPECT_EQ(oscillator.getHarmonicLimit(), 22);
    oscillator.setFrequency(1000.0);
    EXPECT_EQ(oscillator.getHarmonicLimit(), 22);
    oscillator.setWavetableProvider(provider);
    const std::vector<double> x = render(oneSecond, [&] { return oscillator.getValue(); });
    const double measured = frequencyByZeroCrossings(x, 0, x.size(), 44100.0);
    EXPECT_NEAR(measured, 1000.0, 1e-3);
}

TEST_F(WavetableOscillator, BelowTheLowestBandLimitedPitchTheRampTableIsUsed) {
    // The plain ramp starts at +1; every band-limited table starts at 0.
    Zelvar_WavetableOscillator low = make(WavetableWaveformSawtooth, 44.0);
    Zelvar_WavetableOscillator high = make(WavetableWaveformSawtooth, 44.1);
    EXPECT_NEAR(low.getSawtooth(0.0), 1.0, 1e-12);
    EXPECT_NEAR(high.getSawtooth(0.0), 0.0, 1e-12);
}

TEST_F(WavetableOscillator, MissingTablesAndWildPhasesAreSafe) {
    Zelvar_WavetableOscillator unset;
    unset.setWaveform(WavetableWaveformSawtooth);
    EXPECT_EQ(unset.getValue(), 0.0);
    Zelvar_WavetableProvider empty;
    Zelvar_WavetableOscillator withoutSets;
    withoutSets.setWavetableProvider(&empty);
    for (WavetableWaveform waveform : {WavetableWaveformTriangle, WavetableWaveformSquare}) {
        withoutSets.setWaveform(waveform);
        EXPECT_EQ(withoutSets.getValue(), 0.0);
    }
    // Pulse widths outside [0, 1] still read inside the table.
    Zelvar_WavetableOscillator pulse = make(WavetableWaveformPulse, 440.0);
    for (double width : {3.7, -2.2, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
        pulse.setPulseWidth(width);
        for (int i = 0; i < 200; ++i)
            pulse.getValue();
    }
    Zelvar_WavetableOscillator sawtooth = make(WavetableWaveformSawtooth, 440.0);
    EXPECT_TRUE(std::isfinite(sawtooth.getSawtooth(5.25)));
    EXPECT_TRUE(std::isfinite(sawtooth.getSawtooth(-7.5)));
}

// A run takes one frequency per frame: a glide, a jump out of the audible range and back, and a
// held stretch give the bits of single frames, for every waveform.
TEST_F(WavetableOscillator, RunWithAFrequencyPerFrameGivesTheBitsOfSingleFrames) {
    std::vector<double> frequencies;
    for (int i = 0; i < 300; ++i)
        frequencies.push_back(220.0 * std::pow(2.0, i / 120.0));
    frequencies.insert(frequencies.end(), 40, 25000.0);
    frequencies.insert(frequencies.end(), 200, 523.25);
    const int n = int(frequencies.size());
    for (WavetableWaveform waveform :
         {WavetableWaveformSine, WavetableWaveformTriangle, WavetableWaveformSawtooth,
          WavetableWaveformSquare, WavetableWaveformPulse}) {
        Zelvar_WavetableOscillator single = make(waveform, 100.0);
        Zelvar_WavetableOscillator runs = make(waveform, 100.0);
        single.setPulseWidth(0.3);
        runs.setPulseWidth(0.3);
        std::vector<double> out(n);
        for (int start = 0; start < n; start += 128)
            runs.render(out.data() + start, std::min(128, n - start), frequencies.data() + start,
                        1);
        for (int i = 0; i < n; ++i) {
            single.setFrequency(frequencies[i]);
            ASSERT_EQ(single.getValue(), out[i]) << "waveform " << waveform << ", frame " << i;
        }
        EXPECT_EQ(single.getPhase(), runs.getPhase());
    }
}

// A held frequency in runs of every length from 1 to 13 (the readings go two frames at a time,
// an odd one alone), across the table changes, gives the bits of single frames.
TEST_F(WavetableOscillator, HeldFrequencyInRunsOfAnyLengthGivesTheBitsOfSingleFrames) {
    for (WavetableWaveform waveform : {WavetableWaveformTriangle, WavetableWaveformSawtooth})
        for (double frequency : {55.0, 261.6, 3000.0, 12000.0}) {
            Zelvar_WavetableOscillator single = make(waveform, frequency);
            Zelvar_WavetableOscillator runs = make(waveform, frequency);
            std::vector<double> out(13);
            for (int n = 1, frame = 0; frame < 2000; frame += n, n = n % 13 + 1) {
                runs.render(out.data(), n, &frequency, 0);
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(single.getValue(), out[i]) << "waveform " << waveform << " at "
                                                         << frequency << " Hz, frame " << frame + i;
            }
        }
}
