// Six-waveform low-frequency oscillator of the voice.

#include "Zelvar_LowFrequencyOscillator.h"

#include "Phase.h"

#include <cmath>
#include <numbers>

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
        return std::sin(2.0 * std::numbers::pi * p);
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

double Zelvar_LowFrequencyOscillator::getValue() {
    value = valueAt(phase);
    phase = advancePhase(phase, phaseIncrement);
    return value;
}
