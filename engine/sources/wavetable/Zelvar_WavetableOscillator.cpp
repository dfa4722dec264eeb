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

#include <climits>
#include <cmath>

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

void Zelvar_WavetableOscillator::setFrequency(double frequencyHz) {
    if (frequencyHz == frequency)
        return;
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

// Forced inline: they are the body of render()'s per-sample loop, and readTable() and
// getSawtooth() give the same bits through them.
inline __attribute__((always_inline)) double
Zelvar_WavetableOscillator::interpolate(const double* table, double p) const {
    const double position = tableLength * p;
    int i = static_cast<int>(position);
    if (i > tableLength - 1)
        i = tableLength - 1;
    const double fraction = position - i;
    const double* t = table + i;
    return t[0] + fraction * (t[1] - t[0]);
}

inline __attribute__((always_inline)) double
Zelvar_WavetableOscillator::withSawtoothFade(const CrossFade& fade, double value, double p) {
    const double harmonic = twoOverPi * std::sin(fade.twoPiHarmonic * p) / fade.harmonic;
    return value + harmonic * fade.distanceToTop / fade.span;
}

double Zelvar_WavetableOscillator::readTable(const double* set, int table, double p) const {
    if (p >= 1.0)
        p -= 1.0;
    else if (p < 0.0)
        p += 1.0;
    // One wrap covers every phase the oscillator forms itself; anything further out (a pulse
    // width beyond [0, 1], a NaN) is folded here so no index can leave the table.
    if (!(p >= 0.0 && p < 1.0)) {
        p -= std::floor(p);
        if (!(p >= 0.0 && p < 1.0))
            p = 0.0;
    }
    return interpolate(set + static_cast<long>(table) * (tableLength + 1), p);
}

double Zelvar_WavetableOscillator::getSawtooth(double p) const {
    const double* set = provider != nullptr ? provider->getSawtoothWavetable() : nullptr;
    if (set == nullptr || tableCount <= 0)
        return 0.0;
    if (sawtooth.table < 0)
        return readTable(set, 0, p);
    return withSawtoothFade(sawtooth, readTable(set, sawtooth.table, p), p);
}

double Zelvar_WavetableOscillator::getTriangle(double p) const {
    const double* set = provider != nullptr ? provider->getTriangleWavetable() : nullptr;
    if (set == nullptr || tableCount <= 0)
        return 0.0;
    if (triangle.table < 0)
        return readTable(set, 0, p);
    const double value = readTable(set, triangle.table, p);
    const double harmonic = eightOverPiSquared * std::sin(triangle.twoPiHarmonic * p) /
                            triangle.harmonic * triangle.sign;
    return value + harmonic * triangle.distanceToTop / triangle.span;
}

// The sawtooth, the waveform the voices play most, gets its own loop with the checks that
// getSawtooth() makes per sample taken out of it; the others repeat getValue().
void Zelvar_WavetableOscillator::render(double* out, int n) {
    const double* set = provider != nullptr ? provider->getSawtoothWavetable() : nullptr;
    const bool audible = frequency >= lowestFrequencyHz && frequency <= highestFrequencyHz;
    if (n <= 0 || !audible || waveform != WavetableWaveformSawtooth || set == nullptr ||
        tableCount <= 0 || sawtooth.table < 0) {
        for (int i = 0; i < n; ++i)
            out[i] = getValue();
        return;
    }
    const CrossFade fade = sawtooth;
    const double increment = phaseIncrement;
    double p = phase;
    // A phase in [0, 1) advanced by an increment in (0, 1) and wrapped once stays in [0, 1), so
    // readTable's folding would do nothing and is left out; anything else takes the full path.
    if (!(p >= 0.0 && p < 1.0 && increment > 0.0 && increment < 1.0)) {
        for (int i = 0; i < n; ++i)
            out[i] = getValue();
        return;
    }
    const double* table = set + static_cast<long>(fade.table) * (tableLength + 1);
    for (int i = 0; i < n; ++i) {
        out[i] = withSawtoothFade(fade, interpolate(table, p), p);
        p = wrapPhaseOnce(p + increment);
    }
    phase = p;
    lastValue = out[n - 1];
}

double Zelvar_WavetableOscillator::getValue() {
    // Written so that a NaN frequency is silent too.
    if (!(frequency >= lowestFrequencyHz && frequency <= highestFrequencyHz)) {
        lastValue = 0.0;
        return lastValue;
    }
    double value = 0.0;
    switch (waveform) {
    case WavetableWaveformSine:
        value = std::sin(twoPi * phase);
        break;
    case WavetableWaveformTriangle:
        value = getTriangle(phase);
        break;
    case WavetableWaveformSawtooth:
        value = getSawtooth(phase);
        break;
    case WavetableWaveformSquare:
        value = getSawtooth(phase + 0.5) - getSawtooth(phase);
        break;
    case WavetableWaveformPulse:
        value = getSawtooth(phase + pulseWidth) - getSawtooth(phase) - (1.0 - 2.0 * pulseWidth);
        break;
    default:
        break;
    }
    // Only audible frequencies get here: the increment lies in (0, 1).
    phase = wrapPhaseOnce(phase + phaseIncrement);
    lastValue = value;
    return lastValue;
}
