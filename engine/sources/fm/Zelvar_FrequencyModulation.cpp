// Two-operator sine FM source.

#include "Zelvar_FrequencyModulation.h"

#include "Phase.h"

#include <cmath>
#include <numbers>

void Zelvar_FrequencyModulation::setFrequency(double frequencyHz) {
    if (frequencyHz == frequency)
        return;
    frequency = frequencyHz;
    phaseIncrement = frequency / samplingRate;
}

double Zelvar_FrequencyModulation::getValue() {
    const double w = 2.0 * std::numbers::pi * phase;
    output = std::sin(w + std::sin(modulatorRatio * w));
    phase = advancePhase(phase, phaseIncrement);
    return output;
}
