#include "VectorFft.h"
#include "Zelvar_FFTLPF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
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

TEST(VectorFft, UnscaledTransformsWithTheForwardSignNegative) {
    std::unique_ptr<VectorFftSetup> setup(VectorFftSetup::create(4));
    ASSERT_NE(setup, nullptr);
    const int n = 16;
    std::vector<double> re(n), im(n, 0.0), original(n);
    for (int i = 0; i < n; ++i)
        original[i] = re[i] = std::sin(2.0 * pi * 3 * i / n) + 0.25;
    ASSERT_TRUE(setup->transform({re.data(), im.data()}, 4, FftDirectionForward));
    // sin at bin 3: X[3] = −i·N/2 and X[13] = +i·N/2 with e^(−2πi·nk/N); the offset lands in X[0].
    EXPECT_NEAR(re[0], 4.0, 1e-12);
    EXPECT_NEAR(im[3], -8.0, 1e-12);
    EXPECT_NEAR(im[13], 8.0, 1e-12);
    for (int k = 1; k < n; ++k) {
        EXPECT_NEAR(re[k], 0.0, 1e-12) << k;
        if (k != 3 && k != 13) {
            EXPECT_NEAR(im[k], 0.0, 1e-12) << k;
        }
    }
    ASSERT_TRUE(setup->transform({re.data(), im.data()}, 4, FftDirectionInverse));
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(re[i], n * original[i], 1e-12); // round trip multiplies by N
        EXPECT_NEAR(im[i], 0.0, 1e-12);
    }
    // Shorter lengths are planned too; longer ones, and sizes out of range, are refused.
    EXPECT_TRUE(setup->transform({re.data(), im.data()}, 2, FftDirectionForward));
    EXPECT_FALSE(setup->transform({re.data(), im.data()}, 5, FftDirectionForward));
    EXPECT_EQ(VectorFftSetup::create(-1), nullptr);
    EXPECT_EQ(VectorFftSetup::create(25), nullptr);
}

TEST(VectorFft, ElementWiseRoutines) {
    double ar[2] = {1.0, 2.0}, ai[2] = {2.0, -1.0}, br[2] = {3.0, 0.5}, bi[2] = {-1.0, 4.0};
    vectorComplexMultiply({ar, ai}, {br, bi}, {ar, ai}, 2);
    EXPECT_DOUBLE_EQ(ar[0], 5.0); // (1 + 2i)(3 − i) = 5 + 5i
    EXPECT_DOUBLE_EQ(ai[0], 5.0);
    EXPECT_DOUBLE_EQ(ar[1], 5.0); // (2 − i)(0.5 + 4i) = 5 + 7.5i
    EXPECT_DOUBLE_EQ(ai[1], 7.5);
    double v[3] = {1.0, -2.0, 3.0}, w[3] = {2.0, 2.0, 0.5};
    vectorMultiply(v, w, v, 3);
    EXPECT_DOUBLE_EQ(v[1], -4.0);
    vectorScalarDivide(v, 4.0, w, 3);
    EXPECT_DOUBLE_EQ(w[0], 0.5);
    EXPECT_DOUBLE_EQ(w[2], 0.375);
    vectorClear(v, 3);
    EXPECT_EQ(v[0] + v[1] + v[2], 0.0);
}

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
