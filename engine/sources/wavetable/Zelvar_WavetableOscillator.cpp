// Zelvar_WavetableOscillator: table choice, cross-fade and the per-sample output.
//
// Table k of the sawtooth set holds harmonics 1 .. k + 1; at frequency f the oscillator plays
// the table ending at harmonic H - 1 (H = trunc(fs / 2f)) and adds harmonic H with a weight that
// is 0 where H reaches fs/2 and grows to 1 where H + 1 would, the point at which the next table
// (which contains H at full weight) takes over. The triangle does the same over odd harmonics.
#include "Zelvar_WavetableOscillator.h"

#include "MathConstants.h"
#include "NumericConversion.h"
#include "Phase.h"
#include "VoicePair.h"

#include <climits>
#include <cmath>

namespace {

// Linear interpolation within one table at a phase already in [0, 1), for one frame (Lanes
// double) or two side by side (VoicePair), each lane with the operations of one frame.
template <typename Lanes> inline Lanes interpolate(const double* table, int length, Lanes p) {
    const Lanes position = static_cast<double>(length) * p;
    Lanes whole{}, first{}, second{};
    for (int lane = 0; lane < laneCount<Lanes>; ++lane) {
        int i = static_cast<int>(laneOf(position, lane));
        if (i > length - 1)
            i = length - 1;
        setLane(whole, lane, i);
        setLane(first, lane, table[i]);
        setLane(second, lane, table[i + 1]);
    }
    const Lanes fraction = position - whole;
    return first + fraction * (second - first);
}

// One wrap covers every phase the oscillator forms itself; anything further out (a pulse width
// beyond [0, 1], a NaN) is folded as well, so no index can leave the table.
inline double fold(double p) {
    if (p >= 1.0)
        p -= 1.0;
    else if (p < 0.0)
        p += 1.0;
    if (!(p >= 0.0 && p < 1.0)) {
        p -= std::floor(p);
        if (!(p >= 0.0 && p < 1.0))
            p = 0.0;
    }
    return p;
}

// Table `table` of a set of tables of `length` + 1 entries (the last repeats the first). A phase
// known to lie in [0, 1) needs no folding (Folds false): the folds would leave it as it is.
template <bool Folds, typename Lanes>
inline Lanes readTable(const double* set, int length, int table, Lanes p) {
    if constexpr (Folds)
        for (int lane = 0; lane < laneCount<Lanes>; ++lane)
            setLane(p, lane, fold(laneOf(p, lane)));
    return interpolate(set + static_cast<long>(table) * (length + 1), length, p);
}

// The loop every waveform shares: a value at the phase, then the phase advances. Only audible
// frequencies get here, so the increment lies in (0, 1) and one wrap keeps the phase in [0, 1).
template <typename Waveform>
inline double loop(double* out, int n, double p, double increment, Waveform waveform) {
    for (int i = 0; i < n; ++i) {
        out[i] = waveform(p);
        p = wrapPhaseOnce(p + increment);
    }
    return p;
}

constexpr int passFrames = 128;

} // namespace

// The present table of a set with the next harmonic faded in, copied out of the oscillator so a
// loop keeps it in registers. Shape gives the harmonic's amplitude.
template <bool Folds, typename Shape> struct Zelvar_WavetableOscillator::Reader {
    const double* set;
    int length;
    CrossFade fade;

    template <typename Lanes> static Lanes faded(Lanes value, Lanes sine, const CrossFade& f) {
        return value + Shape::harmonic(sine, f) * f.distanceToTop / f.span;
    }

    double operator()(double p) const {
        if (set == nullptr)
            return 0.0;
        if (fade.table < 0)
            return readTable<Folds>(set, length, 0, p);
        const double value = readTable<Folds>(set, length, fade.table, p);
        return faded(value, std::sin(fade.twoPiHarmonic * p), fade);
    }

    // n frames from the phase p, advanced by `increment` after each; returns the phase after
    // them. With a harmonic to fade in, in passes: the phases and the sines in one loop (the
    // phase's chain from frame to frame hides under the calls), then the table readings and the
    // cross-fade two frames at a time in the lanes of a VoicePair, which lets the divisions of
    // one overlap the readings of the other. Each frame's value comes from the operations
    // operator() gives it.
    double render(double* out, int n, double p, double increment) const {
        if (set == nullptr || fade.table < 0)
            return loop(out, n, p, increment, *this);
        const CrossFade f = fade;
        double phases[passFrames];
        double sines[passFrames];
        for (int start = 0; start < n; start += passFrames) {
            const int m = n - start < passFrames ? n - start : passFrames;
            for (int i = 0; i < m; ++i) {
                phases[i] = p;
                sines[i] = std::sin(f.twoPiHarmonic * p);
                p = wrapPhaseOnce(p + increment);
            }
            double* frames = out + start;
            int i = 0;
            for (; i + 1 < m; i += 2) {
                const VoicePair phase{phases[i], phases[i + 1]};
                const VoicePair sine{sines[i], sines[i + 1]};
                const VoicePair value =
                    faded(readTable<Folds>(set, length, f.table, phase), sine, f);
                frames[i] = value[0];
                frames[i + 1] = value[1];
            }
            if (i < m)
                frames[i] = faded(readTable<Folds>(set, length, f.table, phases[i]), sines[i], f);
        }
        return p;
    }
};

// The sawtooth's next harmonic: 2/pi sin(h x) / h.
struct Zelvar_WavetableOscillator::SawtoothShape {
    template <typename Lanes> static Lanes harmonic(Lanes sine, const CrossFade& f) {
        return twoOverPi * sine / f.harmonic;
    }
};

// The triangle's, over odd harmonics and alternating in sign: 8/pi^2 sin(m x) / m^2.
struct Zelvar_WavetableOscillator::TriangleShape {
    template <typename Lanes> static Lanes harmonic(Lanes sine, const CrossFade& f) {
        return eightOverPiSquared * sine / f.harmonic * f.sign;
    }
};

void Zelvar_WavetableOscillator::setWavetableProvider(Zelvar_WavetableProvider* provider) {
    this->provider = provider;
    tableCount = provider != nullptr ? provider->getTableCount() : 0;
    tableLength = provider != nullptr ? provider->getTableLength() : 0;
    updateCrossFades();
}

void Zelvar_WavetableOscillator::setSamplingRate(double rate) {
    samplingRate = rate;
    updateCrossFades();
}

void Zelvar_WavetableOscillator::retune(double frequencyHz) {
    frequency = frequencyHz;
    harmonicLimit = truncateToInt(0.5 * samplingRate / frequencyHz);
    phaseIncrement = frequencyHz / samplingRate;
    updateCrossFades();
}

// The table choice and the terms of the cross-fade depend on frequency, rate and table count
// only; computed here once per change, with exactly the operations (and their order) of the
// per-sample formulas, they leave the output bit-identical.
void Zelvar_WavetableOscillator::updateCrossFades() {
    const double nyquist = 0.5 * samplingRate;

    // A negative limit (a negative frequency, never audible) means no table, as for t below.
    const int h = harmonicLimit;
    int k = h > INT_MIN + 2 ? h - 2 : -1;
    if (k >= tableCount)
        k = tableCount - 1;
    sawtooth.table = k;
    sawtooth.harmonic = h;
    sawtooth.twoPiHarmonic = twoPi * h;
    const double sawFa = nyquist / h;
    const double sawFb = nyquist / (h + 1.0);
    sawtooth.distanceToTop = sawFa - frequency;
    sawtooth.span = sawFa - sawFb;

    int t = truncateToInt((nyquist / frequency + 1.0) * 0.5);
    t = t > INT_MIN + 2 ? t - 2 : -1;
    if (t >= tableCount)
        t = tableCount - 1;
    triangle.table = t;
    const double m = 2.0 * t + 3.0;
    triangle.harmonic = m * m;
    triangle.twoPiHarmonic = twoPi * m;
    // (-1)^(k + 1) without a pow.
    triangle.sign = (t % 2 == 0) ? -1.0 : 1.0;
    const double triFa = nyquist / m;
    const double triFb = nyquist / (m + 2.0);
    triangle.distanceToTop = triFa - frequency;
    triangle.span = triFa - triFb;
}

double Zelvar_WavetableOscillator::getSawtooth(double p) const {
    const double* set = provider != nullptr ? provider->getSawtoothWavetable() : nullptr;
    return Reader<true, SawtoothShape>{tableCount > 0 ? set : nullptr, tableLength, sawtooth}(p);
}

double Zelvar_WavetableOscillator::getTriangle(double p) const {
    const double* set = provider != nullptr ? provider->getTriangleWavetable() : nullptr;
    return Reader<true, TriangleShape>{tableCount > 0 ? set : nullptr, tableLength, triangle}(p);
}

// A frequency outside the audible range (a NaN too) is silent and leaves the phase alone. The
// sawtooth and the triangle read at the phase itself, which stays in [0, 1) whenever it starts
// there and the increment lies in (0, 1): then the readings skip the folding that would change
// nothing. Square and pulse read at shifted phases and always fold.
void Zelvar_WavetableOscillator::renderAtFrequency(double* out, int n) {
    if (!(frequency >= lowestFrequencyHz && frequency <= highestFrequencyHz)) {
        for (int i = 0; i < n; ++i)
            out[i] = 0.0;
        return;
    }
    const double* sawtoothSet = provider != nullptr ? provider->getSawtoothWavetable() : nullptr;
    const double* triangleSet = provider != nullptr ? provider->getTriangleWavetable() : nullptr;
    const Reader<true, SawtoothShape> saw{tableCount > 0 ? sawtoothSet : nullptr, tableLength,
                                          sawtooth};
    const Reader<false, SawtoothShape> sawInRange{saw.set, saw.length, saw.fade};
    const Reader<true, TriangleShape> tri{tableCount > 0 ? triangleSet : nullptr, tableLength,
                                          triangle};
    const Reader<false, TriangleShape> triInRange{tri.set, tri.length, tri.fade};
    const double increment = phaseIncrement;
    const double width = pulseWidth;
    double p = phase;
    const bool staysInRange = p >= 0.0 && p < 1.0 && increment > 0.0 && increment < 1.0;
    switch (waveform) {
    case WavetableWaveformSine:
        p = loop(out, n, p, increment, [](double q) { return std::sin(twoPi * q); });
        break;
    case WavetableWaveformTriangle:
        p = staysInRange ? triInRange.render(out, n, p, increment)
                         : tri.render(out, n, p, increment);
        break;
    case WavetableWaveformSawtooth:
        p = staysInRange ? sawInRange.render(out, n, p, increment)
                         : saw.render(out, n, p, increment);
        break;
    case WavetableWaveformSquare:
        p = loop(out, n, p, increment, [&saw](double q) { return saw(q + 0.5) - saw(q); });
        break;
    case WavetableWaveformPulse:
        p = loop(out, n, p, increment,
                 [&saw, width](double q) { return saw(q + width) - saw(q) - (1.0 - 2.0 * width); });
        break;
    default:
        p = loop(out, n, p, increment, [](double) { return 0.0; });
        break;
    }
    phase = p;
}

void Zelvar_WavetableOscillator::render(double* out, int n, const double* frequencyHz, int stride) {
    for (int i = 0; i < n;) {
        setFrequency(frequencyHz[i * stride]);
        int end = stride == 0 ? n : i + 1;
        while (end < n && frequencyHz[end * stride] == frequency)
            ++end;
        renderAtFrequency(out + i, end - i);
        i = end;
    }
}

double Zelvar_WavetableOscillator::getValue() {
    const double frequencyNow = frequency;
    double value = 0.0;
    render(&value, 1, &frequencyNow, 0);
    return value;
}
