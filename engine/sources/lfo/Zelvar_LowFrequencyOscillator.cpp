// Six-waveform low-frequency oscillator of the voice.

#include "Zelvar_LowFrequencyOscillator.h"

#include "MathConstants.h"
#include "Phase.h"
#include "SameBits.h"

#include <cmath>

void Zelvar_LowFrequencyOscillator::setSamplingRate(double rate) {
    samplingRate = rate;
    phaseIncrement = frequency / samplingRate;
}

void Zelvar_LowFrequencyOscillator::setFrequency(double frequencyHz) {
    frequency = frequencyHz;
    phaseIncrement = frequency / samplingRate;
}

double Zelvar_LowFrequencyOscillator::valueAt(double p, double last) const {
    switch (waveform) {
    case LfoWaveformSine:
        return std::sin(twoPi * p);
    case LfoWaveformTriangle:
        if (p <= 0.25)
            return 4.0 * p;
        if (p <= 0.75)
            return 1.0 - 4.0 * (p - 0.25);
        return -1.0 + 4.0 * (p - 0.75);
    case LfoWaveformSawtoothUp:
        return 2.0 * p - 1.0;
    case LfoWaveformSawtoothDown:
        return 1.0 - 2.0 * p;
    case LfoWaveformSquare:
        return p < 0.5 ? 1.0 : -1.0;
    case LfoWaveformPulse:
        return p < pulseWidth ? 1.0 : -1.0;
    }
    return last;
}

// The voice holds the frequency at 0, so the phase never moves: the last value is reused while
// phase, waveform and pulse width keep their bits, which keeps sin() off the per-sample path
// without changing the output. A frame that leaves the phase's bits as they were has reached a
// fixed point: every further frame of the run gives the same value.
bool Zelvar_LowFrequencyOscillator::render(double* out, int n) {
    double p = phase;
    double v = value;
    double keyPhase = cachedPhase;
    const double increment = phaseIncrement;
    bool fresh = waveform == cachedWaveform && sameBits(pulseWidth, cachedPulseWidth);
    bool held = n <= 1;
    for (int i = 0; i < n; ++i) {
        if (!fresh || !sameBits(p, keyPhase)) {
            v = valueAt(p, v);
            keyPhase = p;
            fresh = true;
        }
        const double next = advancePhase(p, increment);
        out[i] = v;
        if (sameBits(next, p) && sameBits(p, keyPhase)) {
            held = held || i == 0;
            for (++i; i < n; ++i)
                out[i] = v;
            break;
        }
        p = next;
    }
    if (n > 0) {
        cachedWaveform = waveform;
        cachedPulseWidth = pulseWidth;
    }
    phase = p;
    value = v;
    cachedPhase = keyPhase;
    return held;
}

double Zelvar_LowFrequencyOscillator::getValue() {
    double v = 0.0;
    render(&v, 1);
    return v;
}
