// The oscillator object: the noise and wavetable sources it selects, and what it forwards.
#include "SignalAnalysis.h"
#include "Zelvar_Oscillator.h"
#include "Zelvar_RandomGenerator.h"
#include "Zelvar_WavetableProvider.h"
#include "wavetable/ComputedWavetables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace analysis;

namespace {

class Oscillator : public ::testing::Test {
protected:
    static void SetUpTestSuite() { provider = computedWavetables(); }
    static void setUp(Zelvar_Oscillator& oscillator, double frequency) {
        Zelvar_RandomGenerator random;
        oscillator.initialize(random);
        oscillator.setWavetableProvider(provider);
        oscillator.setSamplingRate(44100.0);
        oscillator.setFrequency(frequency);
        oscillator.setPulseWidth(0.5);
    }
    static Zelvar_WavetableProvider* provider;
};

Zelvar_WavetableProvider* Oscillator::provider = nullptr;

} // namespace

TEST_F(Oscillator, NoiseIsSelectedByWaveformFiveWhateverTheFrequency) {
    Zelvar_Oscillator low;
    Zelvar_Oscillator high;
    std::srand(1234);
    setUp(low, 50.0);
    std::srand(1234);
    setUp(high, 5000.0);
    low.setWaveform(OscillatorWaveformNoise);
    high.setWaveform(OscillatorWaveformNoise);
    double sumSquares = 0.0;
    double peak = 0.0;
    bool identical = true;
    const int count = 44100;
    for (int i = 0; i < count; ++i) {
        const double a = low.getValue();
        identical = identical && a == high.getValue();
        sumSquares += a * a;
        peak = std::max(peak, std::fabs(a));
    }
    EXPECT_TRUE(identical);
    // Two-level +-0.5 noise through a 10 kHz low-pass: RMS a little under 0.5, peaks near it.
    const double rms = std::sqrt(sumSquares / count);
    EXPECT_GT(rms, 0.3);
    EXPECT_LT(rms, 0.5);
    EXPECT_GT(peak, 0.45);
    EXPECT_LT(peak, 0.9);
}

TEST_F(Oscillator, SwitchingBackFromNoiseResumesThePhaseWhereItStopped) {
    Zelvar_Oscillator oscillator;
    Zelvar_Oscillator reference;
    setUp(oscillator, 440.0);
    setUp(reference, 440.0);
    oscillator.setWaveform(OscillatorWaveformSawtooth);
    reference.setWaveform(OscillatorWaveformSawtooth);
    for (int i = 0; i < 37; ++i)
        ASSERT_EQ(oscillator.getValue(), reference.getValue());
    const double phase = oscillator.getWavetableOscillator().getPhase();
    oscillator.setWaveform(OscillatorWaveformNoise);
    for (int i = 0; i < 500; ++i)
        oscillator.getValue();
    EXPECT_EQ(oscillator.getWavetableOscillator().getPhase(), phase);
    oscillator.setWaveform(OscillatorWaveformSawtooth);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(oscillator.getValue(), reference.getValue()) << i;
}

TEST_F(Oscillator, UnknownWaveformIsStoredButKeepsThePreviousWavetableSound) {
    Zelvar_Oscillator oscillator;
    Zelvar_Oscillator reference;
    setUp(oscillator, 440.0);
    setUp(reference, 440.0);
    oscillator.setWaveform(OscillatorWaveformSquare);
    reference.setWaveform(OscillatorWaveformSquare);
    oscillator.setWaveform(static_cast<OscillatorWaveform>(7));
    EXPECT_EQ(oscillator.getWaveform(), 7);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(oscillator.getValue(), reference.getValue()) << i;
}

TEST_F(Oscillator, ForwardsFrequencyAndPulseWidth) {
    Zelvar_Oscillator oscillator;
    setUp(oscillator, 441.0);
    oscillator.setWaveform(OscillatorWaveformPulse);
    oscillator.setPulseWidth(0.25);
    int high = 0;
    std::vector<double> x(44100);
    for (double& v : x) {
        v = oscillator.getValue();
        high += v > 0.0 ? 1 : 0;
    }
    EXPECT_NEAR(high / 44100.0, 0.25, 0.015);
    oscillator.setWaveform(OscillatorWaveformSine);
    oscillator.setFrequency(523.25);
    x = render(44100, [&] { return oscillator.getValue(); });
    EXPECT_NEAR(frequencyByZeroCrossings(x, 0, x.size(), 44100.0), 523.25, 1e-3);
}
