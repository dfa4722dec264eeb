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

double Zelvar_LowFrequencyOscillator::valueAt(double p) const {
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
    return value; // an unknown waveform holds the last value
}

bool Zelvar_LowFrequencyOscillator::holdsStill() const {
    return phaseIncrement == 0.0 && phase >= 0.0 && !std::signbit(phase) && phase < 1.0 &&
           sameBits(phase, cachedPhase) && waveform == cachedWaveform &&
           sameBits(pulseWidth, cachedPulseWidth);
}

// The voice holds the frequency at 0, so the phase never moves: the last value is reused while
// phase, waveform and pulse width keep their bits, which keeps sin() off the per-sample path
// without changing the output. An unknown waveform's value is the last one (see valueAt).
double Zelvar_LowFrequencyOscillator::getValue() {
    if (!sameBits(phase, cachedPhase) || waveform != cachedWaveform ||
        !sameBits(pulseWidth, cachedPulseWidth)) {
        value = valueAt(phase);
        cachedPhase = phase;
        cachedWaveform = waveform;
        cachedPulseWidth = pulseWidth;
    }
    phase = advancePhase(phase, phaseIncrement);
    return value;
}
