// Two-operator sine FM source.
#include "Zelvar_FrequencyModulation.h"

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
    phase += phaseIncrement;
    if (phase >= 1.0)
        phase -= 1.0;
    // Keeps the phase in [0, 1) for negative or above-rate frequencies too.
    if (phase < 0.0 || phase >= 1.0)
        phase -= std::floor(phase);
    if (phase >= 1.0) // a tiny negative phase rounds up to 1.0 above
        phase = 0.0;
    return output;
}
