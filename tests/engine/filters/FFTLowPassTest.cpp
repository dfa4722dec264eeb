#include "Zelvar_FFTLPF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double pi = std::numbers::pi;

// Gain of the filter for a cosine centred on `bin`: the output correlated with what a unity
// response gives (the windowed input, scaled by 3).
double measuredGain(Zelvar_FFTLPF& filter, int bin) {
    const int n = filter.getLength();
    std::vector<double> in(n), out(n);
    for (int i = 0; i < n; ++i)
        in[i] = std::cos(2.0 * pi * bin * i / n);
    filter.filter(in.data(), out.data());
    double dot = 0.0, norm = 0.0;
    for (int i = 0; i < n; ++i) {
        const double unity = 3.0 * filter.getWindow()[i] * in[i];
        dot += out[i] * unity;
        norm += unity * unity;
    }
    return dot / norm;
}

} // namespace

TEST(FFTLowPass, HannWindowValues) {
    double even[4], odd[3];
    Zelvar_FFTLPF::Hanning_window(even, 4);
    EXPECT_NEAR(even[0], 0.0, 1e-15);
    EXPECT_NEAR(even[1], 0.5, 1e-15);
    EXPECT_NEAR(even[2], 1.0, 1e-15);
    EXPECT_NEAR(even[3], 0.5, 1e-15);
    Zelvar_FFTLPF::Hanning_window(odd, 3);
    EXPECT_NEAR(odd[0], 0.25, 1e-15);
    EXPECT_NEAR(odd[1], 1.0, 1e-15);
    EXPECT_NEAR(odd[2], 0.25, 1e-15);
    // Half-overlapped copies of the even window sum to one: what the block units rely on.
    std::vector<double> w(1024);
    Zelvar_FFTLPF::Hanning_window(w.data(), 1024);
    for (int i = 0; i < 512; ++i)
        ASSERT_NEAR(w[i] + w[i + 512], 1.0, 1e-12);
}

TEST(FFTLowPass, TrapezoidResponse) {
    Zelvar_FFTLPF filter;
    ASSERT_TRUE(filter.initialize(1024, 88200.0, 21000.0));
    // kc = 21000 / 88200 × 1024 = 243.81, W = 4000 / 88200 × 1024 = 46.44 bins.
    const double kc = 21000.0 / 88200.0 * 1024, width = 4000.0 / 88200.0 * 1024;
    for (int k = 0; k <= 220; ++k)
        ASSERT_EQ(filter.getResponse(k), 1.0) << k;
    EXPECT_LT(filter.getResponse(221), 1.0);
    EXPECT_NEAR(filter.getResponse(244), (kc + width / 2 - 244) / width, 1e-12);
    EXPECT_GT(filter.getResponse(267), 0.0);
    for (int k = 268; k <= 512; ++k)
        ASSERT_EQ(filter.getResponse(k), 0.0) << k;
    for (int k = 1; k < 512; ++k) {
        ASSERT_EQ(filter.getResponse(1024 - k), filter.getResponse(k));
        ASSERT_EQ(filter.getResponseImaginary(k), 0.0);
    }

    // Measured through the whole chain (window, transforms, response, 3 / N).
    EXPECT_NEAR(measuredGain(filter, 20), 1.0, 1e-9);
    EXPECT_NEAR(measuredGain(filter, 200), 1.0, 1e-9);
    EXPECT_NEAR(measuredGain(filter, 232), (kc + width / 2 - 232) / width, 1e-9);
    EXPECT_NEAR(measuredGain(filter, 244), (kc + width / 2 - 244) / width, 1e-9);
    EXPECT_NEAR(measuredGain(filter, 256), (kc + width / 2 - 256) / width, 1e-9);
    EXPECT_NEAR(measuredGain(filter, 300), 0.0, 1e-12);
    EXPECT_NEAR(measuredGain(filter, 500), 0.0, 1e-12);
}

TEST(FFTLowPass, RefusesLengthsAndRatesItCannotServe) {
    Zelvar_FFTLPF filter;
    EXPECT_FALSE(filter.initialize(1000, 88200.0, 21000.0)); // not a power of two
    EXPECT_FALSE(filter.initialize(1, 88200.0, 21000.0));
    EXPECT_FALSE(filter.initialize(1024, 0.0, 21000.0));
    EXPECT_FALSE(filter.initialize(1024, 88200.0, std::nan("")));
    EXPECT_FALSE(filter.isPrepared());
    double in[4] = {1, 2, 3, 4}, out[4] = {9, 9, 9, 9};
    filter.filter(in, out); // unprepared: leaves out alone
    EXPECT_EQ(out[0], 9.0);
}
