// Filtered two-level noise for the oscillator object's noise waveform.
#include "Zelvar_NoiseGenerator.h"

void Zelvar_NoiseGenerator::initialize(Zelvar_RandomGenerator& random) {
    sequence = Zelvar_MaximalLengthSequence(16, 1, 0x16);
    sequence.initialize(random);
    lowPassSection = Zelvar_ButterworthFilter(44100.0, 20000.0, 0.7071067811865475);
    lowPassSection.setSamplingRate(44100.0);
    lowPassSection.setCutoffFrequency(10000.0);
    lowPassSection.setQualityFactor(0.7071);
    lowPassSection.calculateCoefficients();
}

double Zelvar_NoiseGenerator::getValue() {
    const int bit = sequence.nextValue();
    return lowPassSection.nextValue(bit - 0.5);
}
