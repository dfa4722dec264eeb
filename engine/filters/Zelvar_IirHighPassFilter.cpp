// Second-order resonant high-pass filter of the voice.
#include "Zelvar_IirHighPassFilter.h"

#include <cmath>

namespace {
constexpr double glideSeconds = 0.05;
constexpr double cutoffGlideRangeHz = 2000.0;
constexpr double qualityGlideRange = 10.0;
} // namespace

void Zelvar_IirHighPassFilter::give(Glide& glide, double& current, double value, double target,
                                    double fullRange, double samplingRate) {
    if (glide.first) {
        current = glide.target = value;
        glide.first = false;
        return;
    }
    if (value == glide.target)
        return;
    glide.target = target;
    glide.step = fullRange / (glideSeconds * samplingRate);
    if (current > target)
        glide.step = -glide.step;
    glide.stepCount = std::fabs((target - current) / glide.step);
    glide.stepCounter = 0.0;
}

// One filter's settings over a run, held by value so the loop keeps them in registers.
class Zelvar_IirHighPassFilter::Controls {
public:
    Controls() = default;
    Controls(const Zelvar_IirHighPassFilter& f, const Lane& lane)
        : samplingRate(f.samplingRate), cutoff(f.cutoff), qualityFactor(f.qualityFactor),
          cutoffGlide(f.cutoffGlide), qualityGlide(f.qualityGlide), coefficients(f.coefficients),
          design(f.design), cutoffHz(lane.cutoffHz), q(lane.q),
          heldCutoff(lane.cutoffHz >= f.lowestCutoff ? lane.cutoffHz : f.lowestCutoff) {}

    void storeInto(Zelvar_IirHighPassFilter& f) const {
        f.cutoff = cutoff;
        f.qualityFactor = qualityFactor;
        f.cutoffGlide = cutoffGlide;
        f.qualityGlide = qualityGlide;
        f.coefficients = coefficients;
        f.design = design;
    }

    // Frame i: the settings go to the glides, which step; the section is redesigned if cutoff
    // or Q changed their bits. When both glides have landed and the following frames bring the
    // same settings, those frames would step to the same values again: they are counted at
    // once. Returns the end of the stretch over which terms() hold.
    template <bool GivesSettings> int step(int i, int n) {
        if constexpr (GivesSettings) {
            give(cutoffGlide, cutoff, cutoffHz, heldCutoff, cutoffGlideRangeHz, samplingRate);
            give(qualityGlide, qualityFactor, q, q, qualityGlideRange, samplingRate);
        }
        advance(cutoffGlide, cutoff);
        advance(qualityGlide, qualityFactor);
        if (!design.matches(cutoff, qualityFactor, samplingRate)) {
            const double k = design.prewarp(cutoff, samplingRate);
            coefficients = BiquadCoefficients::highPassWarped(k, qualityFactor);
            design = {cutoff, qualityFactor, samplingRate, true, k};
        }
        int end = i + 1;
        // A glide that has just landed snaps to its target on the next frame: the values in
        // hand must already be the targets.
        if (hasLanded(cutoffGlide) && hasLanded(qualityGlide) &&
            sameBits(cutoff, cutoffGlide.target) && sameBits(qualityFactor, qualityGlide.target) &&
            (!GivesSettings || (cutoffHz == cutoffGlide.target && q == qualityGlide.target))) {
            end = n;
            cutoffGlide.stepCounter += end - i - 1;
            qualityGlide.stepCounter += end - i - 1;
        }
        return end;
    }

    const BiquadCoefficients& terms() const { return coefficients; }
    // The section's output is scaled by 1/Q.
    double divisor() const { return qualityFactor; }

private:
    // Both glides touch their value on every sample, but once they have landed the values stand
    // still: the coefficients (one tan) are recomputed only when their inputs' bits change.
    static void advance(Glide& glide, double& current) {
        if (hasLanded(glide))
            current = glide.target;
        else
            current += glide.step;
        glide.stepCounter += 1.0;
    }

    double samplingRate = 0.0;
    double cutoff = 0.0;
    double qualityFactor = 1.0;
    Glide cutoffGlide{0.0};
    Glide qualityGlide{0.0};
    BiquadCoefficients coefficients;
    BiquadDesignKey design;
    double cutoffHz = 0.0;
    double q = 0.0;
    double heldCutoff = 0.0;
};

// Every lane's filter steps its settings at the frames where its last stretch ended; the
// section then runs all lanes up to the nearest end. At rest that is one stretch of n frames.
template <typename Lanes, bool GivesSettings>
void Zelvar_IirHighPassFilter::run(const Lane* lanes, int n) {
    constexpr int count = laneCount<Lanes>;
    Controls controls[count];
    double* samples[count];
    BasicBiquadState<Lanes> s;
    for (int lane = 0; lane < count; ++lane) {
        controls[lane] = Controls(*lanes[lane].filter, lanes[lane]);
        samples[lane] = lanes[lane].samples;
        s.setLane(lane, lanes[lane].filter->state);
    }
    BiquadTerms<Lanes> c;
    Lanes divisor{};
    int ends[count] = {};
    for (int i = 0; i < n;) {
        int end = n;
        for (int lane = 0; lane < count; ++lane) {
            if (ends[lane] == i) {
                ends[lane] = controls[lane].template step<GivesSettings>(i, n);
                c.setLane(lane, controls[lane].terms());
                setLane(divisor, lane, controls[lane].divisor());
            }
            end = ends[lane] < end ? ends[lane] : end;
        }
        for (; i < end; ++i)
            scatterLanes(samples, i, s.process(c, gatherLanes<Lanes>(samples, i)) / divisor);
    }
    for (int lane = 0; lane < count; ++lane) {
        controls[lane].storeInto(*lanes[lane].filter);
        lanes[lane].filter->state = s.lane(lane);
    }
}

void Zelvar_IirHighPassFilter::setCutoffFrequency(double cutoffHz) {
    give(cutoffGlide, cutoff, cutoffHz, cutoffHz >= lowestCutoff ? cutoffHz : lowestCutoff,
         cutoffGlideRangeHz, samplingRate);
}

void Zelvar_IirHighPassFilter::setQualityFactor(double q) {
    give(qualityGlide, qualityFactor, q, q, qualityGlideRange, samplingRate);
}

void Zelvar_IirHighPassFilter::process(double* samples, int n, double cutoffHz, double q) {
    const Lane lane{this, samples, cutoffHz, q};
    run<double, true>(&lane, n);
}

void Zelvar_IirHighPassFilter::processPair(const Lane (&lanes)[2], int n) {
    run<VoicePair, true>(lanes, n);
}

double Zelvar_IirHighPassFilter::nextValue(double x) {
    const Lane lane{this, &x, 0.0, 0.0};
    run<double, false>(&lane, 1);
    return x;
}
