// Two-operator sine FM source.

#include "Zelvar_FrequencyModulation.h"

#include "MathConstants.h"
#include "Phase.h"

#include <cmath>

void Zelvar_FrequencyModulation::setFrequency(double frequencyHz) {
    if (frequencyHz == frequency)
        return;
    frequency = frequencyHz;
    phaseIncrement = frequency / samplingRate;
}

double Zelvar_FrequencyModulation::getValue() {
    const double w = twoPi * phase;
    output = std::sin(w + std::sin(modulatorRatio * w));
    phase = advancePhase(phase, phaseIncrement);
    return output;
}
