// 16-bit Galois shift register behind the noise generator.
#include "Zelvar_MaximalLengthSequence.h"

#include "Zelvar_RandomGenerator.h"

void Zelvar_MaximalLengthSequence::initialize(Zelvar_RandomGenerator& random) {
    shiftRegister = random.next() % 65535 + 1;
}

int Zelvar_MaximalLengthSequence::nextValue() {
    const int wordMask = (1 << registerLength) - 1;
    const int topBit = 1 << (registerLength - 1);
    if (shiftRegister & topBit) {
        shiftRegister = (((shiftRegister ^ feedbackMask) << 1) | 1) & wordMask;
        return 1;
    }
    shiftRegister = (shiftRegister << 1) & wordMask;
    return 0;
}
