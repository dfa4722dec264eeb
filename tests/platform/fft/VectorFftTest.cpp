// The vector-FFT stand-in: transforms in both directions and the element-wise routines.
#include "VectorFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr double pi = std::numbers::pi;

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
