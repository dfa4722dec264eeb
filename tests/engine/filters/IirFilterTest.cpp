// Gains, corners and glides of the low-pass, high-pass, Butterworth and DC-blocking filters,
// measured on rendered DC and sines.
#include "SignalAnalysis.h"
#include "Zelvar_ButterworthFilter.h"
#include "Zelvar_DcBlockingFilter.h"
#include "Zelvar_IirHighPassFilter.h"
#include "Zelvar_IirLowPassFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace {

constexpr double butterworthQ = 0.7071067811865475;
constexpr double hpStepHz = 2000.0 / (0.05 * 44100.0);

// A low-pass filter driven the way the voice drives it: both targets set every sample.
double lowPassGain(double cutoff, double q, double frequency) {
    Zelvar_IirLowPassFilter filter;
    filter.setInitialValue(cutoff, q);
    return analysis::gainAt(frequency, [&](double x) {
        filter.setCutoffFrequency(cutoff);
        filter.setQualityFactor(q);
        return filter.nextValue(x);
    });
}

double highPassGain(double cutoff, double q, double frequency) {
    Zelvar_IirHighPassFilter filter;
    return analysis::gainAt(frequency, [&](double x) {
        filter.setCutoffFrequency(cutoff);
        filter.setQualityFactor(q);
        return filter.nextValue(x);
    });
}

} // namespace

TEST(IirLowPassFilter, DcGainIsTwoOverQ) {
    for (const double q : {butterworthQ, 2.0, 10.0}) {
        Zelvar_IirLowPassFilter filter;
        filter.setInitialValue(1000.0, q);
        double y = 0.0;
        for (int i = 0; i < 44100; ++i) {
            filter.setCutoffFrequency(1000.0);
            filter.setQualityFactor(q);
            y = filter.nextValue(1.0);
        }
        EXPECT_NEAR(y, 2.0 / q, 1e-9) << "Q " << q;
    }
}

// Two identical Butterworth sections: -3 dB each, so half the pass-band gain at the cutoff,
// and a fourth-order fall above it.
TEST(IirLowPassFilter, SineGainsAroundTheCutoff) {
    const double passBand = 2.0 / butterworthQ;
    EXPECT_NEAR(lowPassGain(2000.0, butterworthQ, 50.0), passBand, passBand * 1e-3);
    EXPECT_NEAR(lowPassGain(2000.0, butterworthQ, 2000.0), passBand * 0.5, passBand * 1e-3);
    const double octaveAbove = lowPassGain(2000.0, butterworthQ, 4000.0) / passBand;
    EXPECT_LT(20.0 * std::log10(octaveAbove), -23.0);
    const double decadeAbove = lowPassGain(1000.0, butterworthQ, 10000.0) / passBand;
    EXPECT_LT(20.0 * std::log10(decadeAbove), -80.0);
}

TEST(IirLowPassFilter, ResonancePeaksAtCutoff) {
    const double q = 4.0;
    const double atCutoff = lowPassGain(1000.0, q, 1000.0);
    // Each section peaks at Q at its cutoff: (2/Q) * Q * Q overall.
    EXPECT_NEAR(atCutoff, 2.0 * q, 2.0 * q * 1e-3);
    EXPECT_GT(atCutoff, lowPassGain(1000.0, q, 500.0));
    EXPECT_GT(atCutoff, lowPassGain(1000.0, q, 2000.0));
}

// 1000 Hz to the 20000 Hz ceiling is log10(20) / 2 of the logarithmic range: 1434.4 steps.
TEST(IirLowPassFilter, CutoffAboveCeilingGlidesLogarithmicallyToTwentyKilohertz) {
    Zelvar_IirLowPassFilter filter;
    filter.setInitialValue(1000.0, butterworthQ);
    int samples = 0;
    do {
        filter.setCutoffFrequency(30000.0);
        filter.nextValue(0.0);
        ++samples;
    } while (filter.getCutoffFrequency() != 20000.0 && samples < 100000);
    EXPECT_EQ(samples, 1435);
    EXPECT_EQ(filter.getCutoffFrequency(), 20000.0);
}

TEST(IirLowPassFilter, ResonanceGlidesLinearlyOverFiftyMillisecondsPerRange) {
    Zelvar_IirLowPassFilter filter;
    filter.setInitialValue(1000.0, butterworthQ);
    filter.setQualityFactor(20.0);
    filter.nextValue(0.0);
    const double first = filter.getQualityFactor();
    filter.nextValue(0.0);
    const double step = (20.0 - butterworthQ) / 2205.0;
    EXPECT_NEAR(first - butterworthQ, step, 1e-12);
    EXPECT_NEAR(filter.getQualityFactor() - first, step, 1e-12);
    for (int i = 0; i < 2204; ++i)
        filter.nextValue(0.0);
    EXPECT_EQ(filter.getQualityFactor(), 20.0);
}

// A filter that was never given initial values still filters (at 20 kHz), rather than
// producing NaN.
TEST(IirLowPassFilter, UsableBeforeInitialValues) {
    Zelvar_IirLowPassFilter filter;
    double y = 0.0;
    for (int i = 0; i < 1000; ++i)
        y = filter.nextValue(1.0);
    EXPECT_NEAR(y, 2.0 / butterworthQ, 1e-9);
}

TEST(IirHighPassFilter, DcDecaysToZero) {
    Zelvar_IirHighPassFilter filter;
    double y = 1.0;
    for (int i = 0; i < 44100; ++i) {
        filter.setCutoffFrequency(100.0);
        filter.setQualityFactor(butterworthQ);
        y = filter.nextValue(1.0);
    }
    EXPECT_NEAR(y, 0.0, 1e-9);
}

TEST(IirHighPassFilter, GainAboveCutoffIsOneOverQ) {
    for (const double q : {butterworthQ, 2.0, 10.0})
        EXPECT_NEAR(highPassGain(20.0, q, 10000.0), 1.0 / q, 1e-3 / q) << "Q " << q;
}

// -3 dB at the cutoff on top of the 1/Q scale: unity at Q = 1/sqrt(2).
TEST(IirHighPassFilter, CornerAndStopBand) {
    EXPECT_NEAR(highPassGain(1000.0, butterworthQ, 1000.0), 1.0, 1e-3);
    const double octaveBelow = highPassGain(1000.0, butterworthQ, 500.0) / (1.0 / butterworthQ);
    EXPECT_NEAR(20.0 * std::log10(octaveBelow), -12.3, 0.3);
}

TEST(IirHighPassFilter, FirstCutoffAppliesAtOnceThenGlidesLinearly) {
    Zelvar_IirHighPassFilter filter;
    filter.setCutoffFrequency(500.0);
    filter.setQualityFactor(butterworthQ);
    filter.nextValue(0.0);
    EXPECT_EQ(filter.getCutoffFrequency(), 500.0);
    // 500 Hz at 0.907 Hz per sample: 551.25 steps, landing on the 552nd sample.
    filter.setCutoffFrequency(1000.0);
    for (int k = 1; k <= 551; ++k) {
        filter.setCutoffFrequency(1000.0);
        filter.nextValue(0.0);
        ASSERT_NEAR(filter.getCutoffFrequency(), 500.0 + k * hpStepHz, 1e-9) << "sample " << k;
        ASSERT_LT(filter.getCutoffFrequency(), 1000.0);
    }
    filter.nextValue(0.0);
    EXPECT_EQ(filter.getCutoffFrequency(), 1000.0);
}

TEST(IirHighPassFilter, CutoffBelowTwentyHertzGlidesToTwenty) {
    Zelvar_IirHighPassFilter filter;
    filter.setCutoffFrequency(100.0);
    filter.setQualityFactor(butterworthQ);
    filter.setCutoffFrequency(5.0);
    for (int i = 0; i < 200; ++i)
        filter.nextValue(0.0);
    EXPECT_EQ(filter.getCutoffFrequency(), 20.0);
}

TEST(IirHighPassFilter, ResonanceGlidesAtTenPerFiftyMilliseconds) {
    Zelvar_IirHighPassFilter filter;
    filter.setCutoffFrequency(100.0);
    filter.setQualityFactor(1.0);
    filter.nextValue(0.0);
    EXPECT_EQ(filter.getQualityFactor(), 1.0);
    filter.setQualityFactor(6.0); // 5 / (10 / 2205) = 1102.5 steps
    int samples = 0;
    while (filter.getQualityFactor() != 6.0 && samples < 10000) {
        filter.nextValue(0.0);
        ++samples;
    }
    EXPECT_EQ(samples, 1103);
}

TEST(ButterworthFilter, UnityDcGainAndMinusThreeDecibelsAtCutoff) {
    Zelvar_ButterworthFilter filter(44100.0, 1000.0, butterworthQ);
    double y = 0.0;
    for (int i = 0; i < 10000; ++i)
        y = filter.nextValue(1.0);
    EXPECT_NEAR(y, 1.0, 1e-12);
    Zelvar_ButterworthFilter sine(44100.0, 1000.0, butterworthQ);
    EXPECT_NEAR(analysis::gainAt(1000.0, [&](double x) { return sine.nextValue(x); }),
                std::sqrt(0.5), 1e-4);
}

// setSamplingRate stores the rate only, so a later unchanged cutoff must keep the old tuning;
// a changed one retunes at once.
TEST(ButterworthFilter, UnchangedSetterDoesNotRecompute) {
    Zelvar_ButterworthFilter filter(44100.0, 1000.0, butterworthQ);
    filter.setSamplingRate(22050.0);
    filter.setCutoffFrequency(1000.0);
    filter.setQualityFactor(butterworthQ);
    filter.setParameter(1000.0, butterworthQ);
    EXPECT_NEAR(analysis::gainAt(1000.0, [&](double x) { return filter.nextValue(x); }),
                std::sqrt(0.5), 1e-4);

    Zelvar_ButterworthFilter retuned(44100.0, 1000.0, butterworthQ);
    retuned.setSamplingRate(22050.0);
    retuned.setCutoffFrequency(500.0); // 500 Hz at 22050 Hz: 1000 Hz at the 44100 Hz render
    EXPECT_NEAR(analysis::gainAt(1000.0, [&](double x) { return retuned.nextValue(x); }),
                std::sqrt(0.5), 1e-4);

    Zelvar_ButterworthFilter both(44100.0, 2000.0, 3.0);
    both.setParameter(1000.0, butterworthQ);
    EXPECT_NEAR(analysis::gainAt(1000.0, [&](double x) { return both.nextValue(x); }),
                std::sqrt(0.5), 1e-4);
}

TEST(DcBlockingFilter, StepDecaysByRPerSample) {
    Zelvar_DcBlockingFilter filter(0.0, 0.0, 0.995);
    double previous = filter.process(1.0);
    EXPECT_EQ(previous, 1.0);
    for (int i = 0; i < 1000; ++i) {
        const double y = filter.process(1.0);
        ASSERT_NEAR(y / previous, 0.995, 1e-12);
        previous = y;
    }
}

TEST(DcBlockingFilter, RemovesOffsetAndKeepsAudibleBand) {
    Zelvar_DcBlockingFilter filter;
    const double w = 2.0 * std::numbers::pi * 441.0 / 44100.0;
    for (int i = 0; i < 44100; ++i)
        filter.process(0.5 + std::sin(w * i));
    std::vector<double> out(44100);
    for (int i = 0; i < 44100; ++i)
        out[i] = filter.process(0.5 + std::sin(w * (i + 44100)));
    const double mean = std::accumulate(out.begin(), out.end(), 0.0) / out.size();
    EXPECT_NEAR(mean, 0.0, 1e-9);
    EXPECT_NEAR(
        analysis::amplitudeAt(out, 0, out.size(), 441.0, 44100.0, analysis::Window::rectangular),
        1.0, 0.005);
}

// A run hands the settings to every frame: a cutoff that moves inside the run, settings beyond
// the glides' clamps (which restart the glide on every frame) and glides that land inside the
// run give the bits of single frames.
TEST(IirLowPassFilter, RunGivesTheBitsOfSingleFrames) {
    Zelvar_IirLowPassFilter single;
    Zelvar_IirLowPassFilter runs;
    single.setInitialValue(1000.0, 2.0);
    runs.setInitialValue(1000.0, 2.0);
    std::vector<double> cutoffs(3000), in(3000), out(3000);
    for (int i = 0; i < 3000; ++i) {
        cutoffs[i] = i < 1000 ? 1000.0 + 10.0 * (i / 100) : (i < 2000 ? 30000.0 : 400.0);
        in[i] = std::sin(0.1 * i) + 0.3 * std::sin(0.73 * i);
    }
    out = in;
    const double qs[] = {2.0, 25.0, 5.0};
    for (int start = 0; start < 3000; start += 100)
        runs.process(out.data() + start, 100, cutoffs.data() + start, 1, qs[start / 1000]);
    for (int i = 0; i < 3000; ++i) {
        single.setCutoffFrequency(cutoffs[i]);
        single.setQualityFactor(qs[i / 1000]);
        ASSERT_EQ(single.nextValue(in[i]), out[i]) << "frame " << i;
    }
}

TEST(IirHighPassFilter, RunGivesTheBitsOfSingleFrames) {
    Zelvar_IirHighPassFilter single;
    Zelvar_IirHighPassFilter runs;
    const double cutoffs[] = {300.0, 5.0, 800.0};
    const double qs[] = {0.7071, 3.0, 1.5};
    std::vector<double> in(3000), out(3000);
    for (int i = 0; i < 3000; ++i)
        in[i] = std::sin(0.01 * i) + 0.3 * std::sin(0.73 * i);
    out = in;
    for (int start = 0; start < 3000; start += 125)
        runs.process(out.data() + start, 125, cutoffs[start / 1000], qs[start / 1000]);
    for (int i = 0; i < 3000; ++i) {
        single.setCutoffFrequency(cutoffs[i / 1000]);
        single.setQualityFactor(qs[i / 1000]);
        ASSERT_EQ(single.nextValue(in[i]), out[i]) << "frame " << i;
    }
}

// Filters sharing their glide steps give the bits of filters that compute every step: one that
// glides like the first takes its steps over, one that started elsewhere computes its own.
TEST(IirLowPassFilter, SharedGlideStepsGiveTheBitsOfComputedOnes) {
    std::vector<Zelvar_IirLowPassFilter::GlideStep> steps(128);
    const double starts[] = {1000.0, 1000.0, 3000.0};
    Zelvar_IirLowPassFilter shared[3];
    Zelvar_IirLowPassFilter alone[3];
    for (int f = 0; f < 3; ++f) {
        shared[f].setInitialValue(starts[f], 2.0);
        alone[f].setInitialValue(starts[f], 2.0);
    }
    for (int run = 0; run < 40; ++run) {
        const double cutoff = run < 20 ? 8000.0 : 500.0;
        const double q = run < 10 ? 2.0 : 6.0;
        for (int f = 0; f < 3; ++f) {
            std::vector<double> a(128), b(128);
            for (int i = 0; i < 128; ++i)
                a[i] = b[i] = std::sin(0.05 * (128 * run + i) + f);
            shared[f].process(a.data(), 128, &cutoff, 0, q, steps.data());
            alone[f].process(b.data(), 128, &cutoff, 0, q);
            for (int i = 0; i < 128; ++i)
                ASSERT_EQ(a[i], b[i]) << "filter " << f << ", run " << run << ", frame " << i;
        }
    }
}

// Two filters in the lanes of one pair give each filter's bits alone: lanes that glide apart,
// a lane whose settings move frame by frame beside one at rest (stretches of different
// lengths), lanes that glide alike (the second takes the first's steps), and run lengths odd
// and even.
TEST(IirLowPassFilter, PairGivesTheBitsOfEachFilterAlone) {
    struct Case {
        double startA, startB;
        bool alike;
    };
    for (const Case c : {Case{1000.0, 3000.0, false}, Case{2000.0, 2000.0, true}}) {
        std::vector<Zelvar_IirLowPassFilter::GlideStep> steps(128);
        Zelvar_IirLowPassFilter pair[2], alone[2];
        const double starts[] = {c.startA, c.startB};
        for (int f = 0; f < 2; ++f) {
            pair[f].setInitialValue(starts[f], 2.0);
            alone[f].setInitialValue(starts[f], 2.0);
        }
        int frame = 0;
        for (int run = 0; run < 40; ++run) {
            const int n = 1 + (run * 37) % 128;
            std::vector<double> cutoffs(n), a[2], b[2];
            for (int i = 0; i < n; ++i)
                cutoffs[i] = 1500.0 + 700.0 * std::sin(0.01 * (frame + i));
            const double heldCutoff = run < 20 ? 9000.0 : 400.0;
            const double qs[] = {run < 10 ? 2.0 : 7.0, c.alike ? (run < 10 ? 2.0 : 7.0) : 1.0};
            for (int f = 0; f < 2; ++f) {
                a[f].resize(n);
                for (int i = 0; i < n; ++i)
                    a[f][i] = std::sin(0.05 * (frame + i) + f);
                b[f] = a[f];
            }
            // With filters alike, both lanes take the held cutoff; else the first follows a sine.
            const double* cutoffA = c.alike ? &heldCutoff : cutoffs.data();
            const int strideA = c.alike ? 0 : 1;
            Zelvar_IirLowPassFilter::processPair({{&pair[0], a[0].data(), cutoffA, strideA, qs[0]},
                                                  {&pair[1], a[1].data(), &heldCutoff, 0, qs[1]}},
                                                 n, steps.data());
            alone[0].process(b[0].data(), n, cutoffA, strideA, qs[0]);
            alone[1].process(b[1].data(), n, &heldCutoff, 0, qs[1]);
            for (int f = 0; f < 2; ++f)
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(a[f][i], b[f][i])
                        << "lane " << f << ", run " << run << ", frame " << i;
            frame += n;
        }
        for (int f = 0; f < 2; ++f) {
            EXPECT_EQ(pair[f].getCutoffFrequency(), alone[f].getCutoffFrequency());
            EXPECT_EQ(pair[f].getQualityFactor(), alone[f].getQualityFactor());
        }
    }
}

TEST(IirHighPassFilter, PairGivesTheBitsOfEachFilterAlone) {
    Zelvar_IirHighPassFilter pair[2], alone[2];
    int frame = 0;
    for (int run = 0; run < 30; ++run) {
        const int n = 1 + (run * 53) % 128;
        // The first lane's settings move every run, the second's now and then.
        const double cutoffs[] = {100.0 + 40.0 * run, run < 15 ? 50.0 : 900.0};
        const double qs[] = {run % 2 == 0 ? 0.7071 : 2.5, 1.2};
        std::vector<double> a[2], b[2];
        for (int f = 0; f < 2; ++f) {
            a[f].resize(n);
            for (int i = 0; i < n; ++i)
                a[f][i] = std::sin(0.02 * (frame + i) + f) + 0.2;
            b[f] = a[f];
        }
        Zelvar_IirHighPassFilter::processPair({{&pair[0], a[0].data(), cutoffs[0], qs[0]},
                                               {&pair[1], a[1].data(), cutoffs[1], qs[1]}},
                                              n);
        for (int f = 0; f < 2; ++f) {
            alone[f].process(b[f].data(), n, cutoffs[f], qs[f]);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(a[f][i], b[f][i]) << "lane " << f << ", run " << run << ", frame " << i;
        }
        frame += n;
    }
}
