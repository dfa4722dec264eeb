// The shift-register sequence (period, balance, start-up) and the filtered noise built on it.
#include "SignalAnalysis.h"
#include "Zelvar_MaximalLengthSequence.h"
#include "Zelvar_NoiseGenerator.h"
#include "Zelvar_RandomGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

TEST(MaximalLengthSequence, FromOneGivesFifteenZerosThenOne) {
    Zelvar_MaximalLengthSequence sequence(16, 1, 0x16);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(sequence.nextValue(), 0) << "bit " << i;
    EXPECT_EQ(sequence.nextValue(), 1);
}

// A maximal-length 16-bit register visits every non-zero state once per period: 65535 bits,
// 32768 ones and 32767 zeros.
TEST(MaximalLengthSequence, PeriodIs65535WithBalancedBits) {
    Zelvar_MaximalLengthSequence sequence(16, 1, 0x16);
    std::vector<bool> seen(65536, false);
    int ones = 0;
    int period = 0;
    do {
        const int state = sequence.getRegister();
        ASSERT_GT(state, 0);
        ASSERT_LT(state, 65536);
        ASSERT_FALSE(seen[state]) << "state repeats after " << period << " bits";
        seen[state] = true;
        ones += sequence.nextValue();
        ++period;
    } while (sequence.getRegister() != 1 && period <= 65536);
    EXPECT_EQ(period, 65535);
    EXPECT_EQ(ones, 32768);
}

TEST(MaximalLengthSequence, InitializeSeedsANonZeroSixteenBitRegister) {
    for (unsigned seed = 0; seed < 200; ++seed) {
        Zelvar_RandomGenerator random(seed);
        Zelvar_MaximalLengthSequence sequence;
        sequence.initialize(random);
        EXPECT_GE(sequence.getRegister(), 1);
        EXPECT_LE(sequence.getRegister(), 65535);
    }
}

// The noise seeds must stay the draws the C library's rand() gave, or every noise voice would
// sound different; but the generator is the engine's own, untouched by other engines or code.
TEST(RandomGenerator, DrawsTheCLibrarySequenceForEverySeed) {
    for (unsigned seed : {0u, 1u, 2u, 777u, 2147483647u, 4000000000u}) {
        std::srand(seed);
        Zelvar_RandomGenerator random(seed);
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(random.next(), std::rand()) << "seed " << seed << ", draw " << i;
    }
    Zelvar_RandomGenerator fresh;
    std::srand(1);
    EXPECT_EQ(fresh.next(), std::rand()) << "the default is rand()'s own start (seed 1)";
}

TEST(RandomGenerator, EachGeneratorKeepsItsOwnSequence) {
    Zelvar_RandomGenerator a, b;
    const int first = a.next();
    a.next();
    EXPECT_EQ(b.next(), first) << "drawing from one leaves the other where it was";
    std::srand(99);
    std::rand();
    Zelvar_RandomGenerator c;
    EXPECT_EQ(c.next(), first) << "rand() does not touch it either";
}

// Over one whole period the two-level input has a flat spectrum, so the output spectrum is the
// 10 kHz section's response: -3 dB at 10 kHz, unity at low frequencies, and the DC of the
// balanced sequence (0.5 / 65535).
TEST(NoiseGenerator, SpectrumFollowsTenKilohertzLowPass) {
    constexpr int period = 65535;
    constexpr double rate = 44100.0;
    Zelvar_NoiseGenerator noise;
    Zelvar_RandomGenerator random;
    noise.initialize(random);
    for (int i = 0; i < period; ++i)
        noise.getValue();
    std::vector<double> out(period);
    for (double& v : out) {
        v = noise.getValue();
        ASSERT_LT(std::fabs(v), 1.0);
    }
    auto binLevel = [&](int bin) {
        return analysis::amplitudeAt(out, 0, out.size(), bin * rate / period, rate,
                                     analysis::Window::rectangular);
    };
    const double low = binLevel(100);      // 67 Hz
    const double corner = binLevel(14860); // 9999.7 Hz
    const double high = binLevel(29000);   // 19515 Hz
    EXPECT_NEAR(corner / low, std::sqrt(0.5), 0.005);
    EXPECT_LT(20.0 * std::log10(high / low), -15.0);
    double mean = 0.0;
    for (double v : out)
        mean += v;
    EXPECT_NEAR(mean / period, 0.5 / period, 1e-9);
}
