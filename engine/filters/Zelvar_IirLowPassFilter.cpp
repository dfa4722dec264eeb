// Fourth-order resonant low-pass filter of the voice.
#include "Zelvar_IirLowPassFilter.h"

#include <cmath>
#include <numbers>

namespace {
constexpr double maximumCutoffHz = 20000.0;
constexpr double minimumCutoffHz = 200.0;
constexpr double maximumQ = 20.0;
constexpr double minimumQ = 0.7071067811865475;
constexpr double glideSeconds = 0.05;
} // namespace

// The smoothers start at the creation values so that a filter used before setInitialValue
// filters at 20 kHz instead of dividing by a zero Q.
Zelvar_IirLowPassFilter::Zelvar_IirLowPassFilter(double samplingRate) : samplingRate(samplingRate) {
    setInitialValue(cutoff, qualityFactor);
}

void Zelvar_IirLowPassFilter::setInitialValue(double cutoffHz, double q) {
    const double delta = 1.0 / (glideSeconds * samplingRate);
    cutoffSmoother.setLogarithmic(true);
    cutoffSmoother.setMaxValue(maximumCutoffHz);
    cutoffSmoother.setMinValue(minimumCutoffHz);
    cutoffSmoother.setNormalizedDelta(delta);
    cutoffSmoother.setCurrentValue(cutoffHz);
    resonanceSmoother.setMaxValue(maximumQ);
    resonanceSmoother.setMinValue(minimumQ);
    resonanceSmoother.setNormalizedDelta(delta);
    resonanceSmoother.setCurrentValue(q);
}

// One filter's settings over a run, held by value: the smoothers, the design in use and the
// values of the last frame.
class Zelvar_IirLowPassFilter::Controls {
public:
    Controls() = default;
    Controls(const Zelvar_IirLowPassFilter& f, const Lane& lane)
        : cutoffGlide(f.cutoffSmoother), qualityGlide(f.resonanceSmoother), c(f.coefficients),
          key(f.design), rate(f.samplingRate), fc(f.cutoff), qf(f.qualityFactor),
          cutoffHz(lane.cutoffHz), stride(lane.stride), q(lane.q) {}

    void storeInto(Zelvar_IirLowPassFilter& f) const {
        f.cutoffSmoother = cutoffGlide;
        f.resonanceSmoother = qualityGlide;
        f.coefficients = c;
        f.design = key;
        f.cutoff = fc;
        f.qualityFactor = qf;
    }

    // Frame i: the settings go to the smoothers, which step; the sections are redesigned if
    // cutoff or Q changed their bits. When both glides have landed and the following frames
    // bring the same settings, those frames would step to the same values again: they are
    // counted at once. Returns the end of the stretch over which coefficients() hold.
    template <bool GivesSettings> int step(int i, int n, GlideStep* steps) {
        if constexpr (GivesSettings) {
            cutoffGlide.setTargetValue(cutoffHz[i * stride]);
            qualityGlide.setTargetValue(q);
        }
        takeGlideStep(steps != nullptr && !(cutoffGlide.isResting() && qualityGlide.isResting())
                          ? &steps[i]
                          : nullptr);
        int end = i + 1;
        // A glide that has just landed snaps to its target on the next frame: the values in
        // hand must already be the targets.
        const double heldCutoff = cutoffGlide.getTargetValue();
        const double heldQ = qualityGlide.getTargetValue();
        if (cutoffGlide.isResting() && qualityGlide.isResting() && sameBits(fc, heldCutoff) &&
            sameBits(qf, heldQ) && (!GivesSettings || q == heldQ)) {
            end = stride == 0 || !GivesSettings ? n : end;
            while (end < n && cutoffHz[end * stride] == heldCutoff)
                ++end;
            cutoffGlide.rest(end - i - 1);
            qualityGlide.rest(end - i - 1);
        }
        return end;
    }

    // Every field and setting with the same bits, the settings holding for the run: every step
    // of both gives the same values.
    bool sameAs(const Controls& o) const {
        return stride == 0 && o.stride == 0 && sameBits(cutoffHz[0], o.cutoffHz[0]) &&
               sameBits(q, o.q) && cutoffGlide.sameState(o.cutoffGlide) &&
               qualityGlide.sameState(o.qualityGlide) && key.sameAs(o.key) && c.sameAs(o.c) &&
               sameBits(rate, o.rate) && sameBits(fc, o.fc) && sameBits(qf, o.qf);
    }

    const BiquadCoefficients& coefficients() const { return c; }
    // The sections' output is scaled by 2/Q.
    double divisor() const { return 0.5 * qf; }

private:
    // A glide step is taken over from the filter that took it first on this frame, if the
    // state it started from had the same bits as this one; otherwise it is computed (and
    // recorded for the filters after this one).
    void takeGlideStep(GlideStep* shared) {
        if (shared != nullptr && shared->startsFrom(cutoffGlide, qualityGlide, key, rate)) {
            cutoffGlide = shared->cutoffAfter;
            qualityGlide = shared->qualityAfter;
            key = shared->designAfter;
            c = shared->coefficients;
            fc = cutoffGlide.getCurrentValue();
            qf = qualityGlide.getCurrentValue();
            return;
        }
        if (shared != nullptr)
            *shared = {cutoffGlide, qualityGlide, cutoffGlide, qualityGlide, key, key, c, rate};
        fc = cutoffGlide.nextValue();
        qf = qualityGlide.nextValue();
        // Coefficients are recomputed only when cutoff, Q or rate really changed: the result
        // is bit-identical, and tan() leaves the per-sample path once the glides have ended.
        if (!key.matches(fc, qf, rate)) {
            const double k = key.prewarp(fc, rate);
            c = BiquadCoefficients::lowPassWarped(k, qf);
            key = {fc, qf, rate, true, k};
        }
        if (shared != nullptr) {
            shared->cutoffAfter = cutoffGlide;
            shared->qualityAfter = qualityGlide;
            shared->designAfter = key;
            shared->coefficients = c;
            shared->recorded = true;
        }
    }

    Zelvar_ValueSmoother cutoffGlide;
    Zelvar_ValueSmoother qualityGlide;
    BiquadCoefficients c;
    BiquadDesignKey key;
    double rate = 0.0;
    double fc = 0.0;
    double qf = 1.0;
    const double* cutoffHz = nullptr;
    int stride = 0;
    double q = 0.0;
};

// Every lane's filter steps its settings at the frames where its last stretch ended; the
// sections then run all lanes up to the nearest end. At rest that is one stretch of n frames.
// A lane whose settings match the first lane's bit for bit (voices whose knobs glide alike)
// takes that lane's steps instead of repeating them.
template <typename Lanes, bool GivesSettings>
void Zelvar_IirLowPassFilter::run(const Lane* lanes, int n, GlideStep* steps) {
    constexpr int count = laneCount<Lanes>;
    Controls controls[count];
    double* samples[count];
    BasicBiquadState<Lanes> a, b;
    for (int lane = 0; lane < count; ++lane) {
        const Zelvar_IirLowPassFilter& f = *lanes[lane].filter;
        controls[lane] = Controls(f, lanes[lane]);
        samples[lane] = lanes[lane].samples;
        a.setLane(lane, f.first);
        b.setLane(lane, f.second);
    }
    bool twin[count] = {};
    for (int lane = 1; lane < count; ++lane)
        twin[lane] = controls[lane].sameAs(controls[0]);
    BiquadTerms<Lanes> c;
    Lanes divisor{};
    int ends[count] = {};
    for (int i = 0; i < n;) {
        int end = n;
        for (int lane = 0; lane < count; ++lane) {
            if (ends[lane] == i) {
                const Controls& settings = twin[lane] ? controls[0] : controls[lane];
                ends[lane] =
                    twin[lane] ? ends[0] : controls[lane].template step<GivesSettings>(i, n, steps);
                c.setLane(lane, settings.coefficients());
                setLane(divisor, lane, settings.divisor());
            }
            end = ends[lane] < end ? ends[lane] : end;
        }
        for (; i < end; ++i)
            scatterLanes(samples, i,
                         b.process(c, a.process(c, gatherLanes<Lanes>(samples, i))) / divisor);
    }
    for (int lane = 0; lane < count; ++lane) {
        Zelvar_IirLowPassFilter& f = *lanes[lane].filter;
        controls[twin[lane] ? 0 : lane].storeInto(f);
        f.first = a.lane(lane);
        f.second = b.lane(lane);
    }
}

void Zelvar_IirLowPassFilter::process(double* samples, int n, const double* cutoffHz, int stride,
                                      double q, GlideStep* steps) {
    const Lane lane{this, samples, cutoffHz, stride, q};
    run<double, true>(&lane, n, steps);
}

void Zelvar_IirLowPassFilter::processPair(const Lane (&lanes)[2], int n, GlideStep* steps) {
    run<VoicePair, true>(lanes, n, steps);
}

double Zelvar_IirLowPassFilter::nextValue(double x) {
    const Lane lane{this, &x, nullptr, 0, 0.0};
    run<double, false>(&lane, 1, nullptr);
    return x;
}
