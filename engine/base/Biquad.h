// The second-order section the engine's filters are built from: bilinear-transform low-pass and
// high-pass designs with the cutoff pre-warped by tan(pi fc / fs), so the corner lands exactly on
// the requested frequency, and a direct-form-I state that runs them. One coefficient set can
// drive several states (the voice's low-pass runs two identical sections in series).
//
// The state and the terms it reads take a lane type (VoicePair.h): double for one filter, or
// two filters in lockstep, each lane with its own coefficients and the same formula.
#pragma once

#include "SameBits.h"
#include "VoicePair.h"

#include <algorithm>
#include <tuple>
#include <utility>

struct BiquadCoefficients {
    double a0 = 1.0, a1 = 0.0, a2 = 0.0, b0 = 0.0, b1 = 0.0, b2 = 0.0;

    static BiquadCoefficients lowPass(double cutoffHz, double q, double samplingRate);
    static BiquadCoefficients highPass(double cutoffHz, double q, double samplingRate);
    // The same designs from the pre-warped cutoff k = tan(pi fc / fs).
    static BiquadCoefficients lowPassWarped(double k, double q);
    static BiquadCoefficients highPassWarped(double k, double q);
    static double prewarp(double cutoffHz, double samplingRate);
    bool sameAs(const BiquadCoefficients& o) const {
        return sameBits(a0, o.a0) && sameBits(a1, o.a1) && sameBits(a2, o.a2) &&
               sameBits(b0, o.b0) && sameBits(b1, o.b1) && sameBits(b2, o.b2);
    }
};

// The inputs a coefficient set was designed from. Equal bits give equal coefficients, so a filter
// redesigns only when one of them really changed, and its output stays bit-identical.
// The pre-warped cutoff is kept too: while only Q glides, the cutoff keeps its bits and no tan()
// is needed.
struct BiquadDesignKey {
    double cutoffHz = 0.0, q = 0.0, samplingRate = 0.0;
    bool valid = false;
    double prewarped = 0.0;

    bool matches(double c, double qq, double rate) const {
        return valid && sameBits(c, cutoffHz) && sameBits(qq, q) && sameBits(rate, samplingRate);
    }
    bool sameAs(const BiquadDesignKey& o) const {
        return valid == o.valid && sameBits(cutoffHz, o.cutoffHz) && sameBits(q, o.q) &&
               sameBits(samplingRate, o.samplingRate) && sameBits(prewarped, o.prewarped);
    }
    double prewarp(double c, double rate) const {
        if (valid && sameBits(c, cutoffHz) && sameBits(rate, samplingRate))
            return prewarped;
        return BiquadCoefficients::prewarp(c, rate);
    }
};

// The terms the recurrence reads, one lane per filter.
template <typename Lanes> struct BiquadTerms {
    Lanes a1{}, a2{}, b0{}, b1{}, b2{};

    void setLane(int lane, const BiquadCoefficients& c) {
        ::setLane(a1, lane, c.a1);
        ::setLane(a2, lane, c.a2);
        ::setLane(b0, lane, c.b0);
        ::setLane(b1, lane, c.b1);
        ::setLane(b2, lane, c.b2);
    }
};

// The lanes' part of a pass of either filter: at frame i the lanes whose stretch ends there are
// stepped (step(lane) returns the lane's next end), and when any was, the terms and divisors are
// rebuilt whole from settings(lane), which has coefficients() and divisor(): lanes written one
// by one in memory would stall the loads of the frames that read them. Returns the nearest end
// of the lanes' stretches.
template <typename Lanes, int Count, typename Step, typename Settings>
int stepLanes(int i, int n, int (&ends)[Count], Step step, Settings settings,
              BiquadTerms<Lanes>& terms, Lanes& divisor) {
    int end = n;
    bool stepped = false;
    for (int lane = 0; lane < Count; ++lane) {
        if (ends[lane] == i) {
            ends[lane] = step(lane);
            stepped = true;
        }
        end = ends[lane] < end ? ends[lane] : end;
    }
    if (stepped) {
        BiquadTerms<Lanes> c;
        Lanes d{};
        for (int lane = 0; lane < Count; ++lane) {
            const auto& s = settings(lane);
            c.setLane(lane, s.coefficients());
            setLane(d, lane, s.divisor());
        }
        terms = c;
        divisor = d;
    }
    return end;
}

// runPasses, with each pass's position to find its sections by.
template <typename Lanes, bool GivesSettings, size_t... Index, typename... Passes>
void runPassesIndexed(double* const* samples, int n, std::index_sequence<Index...>,
                      Passes&... passes) {
    for (int i = 0; i < n;) {
        int end = n;
        ((end = std::min(end, passes.template stretchEnd<GivesSettings>(i, n))), ...);
        std::tuple sections{passes.sections...};
        for (; i < end; ++i) {
            Lanes x = gatherLanes<Lanes>(samples, i);
            ((x = std::get<Index>(sections).process(x)), ...);
            scatterLanes(samples, i, x);
        }
        ((passes.sections = std::get<Index>(sections)), ...);
    }
    (passes.finish(), ...);
}

// Filter passes in series over n frames of the lanes' samples, in place. At each stretch's
// start every pass steps its settings (GivesSettings: the lanes' own, else those last given)
// and the stretch ends where the first of them changes its coefficients; the frames of the
// stretch then go through the passes' sections in order, copied into locals so that the
// recurrences stay in registers.
template <typename Lanes, bool GivesSettings, typename... Passes>
void runPasses(double* const* samples, int n, Passes&... passes) {
    runPassesIndexed<Lanes, GivesSettings>(samples, n, std::index_sequence_for<Passes...>{},
                                           passes...);
}

// One filter's pass over its lanes (each a filter's Lane, with its samples).
template <typename Lanes, bool GivesSettings, typename Pass, typename Lane>
void runPass(Pass& pass, const Lane* lanes, int n) {
    double* samples[laneCount<Lanes>];
    for (int lane = 0; lane < laneCount<Lanes>; ++lane)
        samples[lane] = lanes[lane].samples;
    runPasses<Lanes, GivesSettings>(samples, n, pass);
}

template <typename Lanes> struct BasicBiquadState {
    Lanes x1{}, x2{}, y1{}, y2{};

    // C: BiquadCoefficients or BiquadTerms<Lanes>.
    template <typename C> Lanes process(const C& c, Lanes x) {
        const Lanes y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    BasicBiquadState<double> lane(int i) const;
    void setLane(int i, const BasicBiquadState<double>& s);
};

using BiquadState = BasicBiquadState<double>;

template <typename Lanes> BiquadState BasicBiquadState<Lanes>::lane(int i) const {
    return {laneOf(x1, i), laneOf(x2, i), laneOf(y1, i), laneOf(y2, i)};
}

template <typename Lanes> void BasicBiquadState<Lanes>::setLane(int i, const BiquadState& s) {
    ::setLane(x1, i, s.x1);
    ::setLane(x2, i, s.x2);
    ::setLane(y1, i, s.y1);
    ::setLane(y2, i, s.y2);
}
