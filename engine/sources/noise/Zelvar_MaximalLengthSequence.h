// 16-bit Galois shift register (x^16 + x^5 + x^3 + x^2 + 1): one pseudo-random bit per call,
// repeating only after 65535 bits. The noise generator turns each bit into +-0.5.
#pragma once

class Zelvar_RandomGenerator;

class Zelvar_MaximalLengthSequence {
public:
    explicit Zelvar_MaximalLengthSequence(int registerLength = 16, int shiftRegister = 1,
                                          int feedbackMask = 0x16)
        : registerLength(registerLength), shiftRegister(shiftRegister), feedbackMask(feedbackMask) {
    }

    // Seeds the register with a value in 1..65535 drawn from the engine's generator (the draw
    // rand() gave); all zeros would lock it up.
    void initialize(Zelvar_RandomGenerator& random);
    int nextValue();

    int getRegister() const { return shiftRegister; }

private:
    int registerLength;
    int shiftRegister;
    int feedbackMask;
};
