// Noise tone source of the oscillator object: one register bit per sample becomes +-0.5 and a
// 10 kHz second-order low-pass section takes the edge off the two-level signal.
//
// Both parts are held by value: the generator is created with every voice on the audio thread,
// and this keeps it free of further allocation.
#pragma once

#include "Zelvar_ButterworthFilter.h"
#include "Zelvar_MaximalLengthSequence.h"

class Zelvar_NoiseGenerator {
public:
    Zelvar_NoiseGenerator() = default;

    void initialize(Zelvar_RandomGenerator& random);
    double getValue();

private:
    Zelvar_ButterworthFilter lowPassSection;
    Zelvar_MaximalLengthSequence sequence;
};
