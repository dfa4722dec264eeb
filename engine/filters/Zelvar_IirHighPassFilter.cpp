// Second-order resonant high-pass filter of the voice.
#include "Zelvar_IirHighPassFilter.h"

#include <cmath>

namespace {
constexpr double glideSeconds = 0.05;
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

template <typename Lanes, bool GivesSettings>
void Zelvar_IirHighPassFilter::run(const Lane* lanes, int n) {
    Pass<Lanes> pass(lanes);
    runPass<Lanes, GivesSettings>(pass, lanes, n);
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
