// A block resampler built on the FFT low-pass: input samples are placed L slots apart in a
// zero-stuffed block of M = F × L slots (the rate L × 44100), which is low-passed at 21000 Hz
// in half-overlapping blocks, low-passed again and taken back at every L-th slot. Output lags
// the input by F/2 samples and comes in blocks of F/2, computed once every F/2 calls. Nothing
// in the engine creates one; it is kept for rendering at a multiple of the output rate.
#pragma once

#include "Zelvar_FFTLPF.h"

#include <vector>

class Zelvar_Oversampling {
public:
    static constexpr double baseRate = 44100.0;
    static constexpr double cutoffHz = 21000.0;

    // Refused (false, nothing prepared) unless F is even and at least 2, L at least 1, and
    // F × L a power of two the FFT supports.
    bool initialize(int frameLength, int factor);
    bool isPrepared() const { return lowPass.isPrepared(); }

    // Unprepared, it returns 0.
    double nextValue(double x);

private:
    void processBlock();

    Zelvar_FFTLPF lowPass;
    int counter = 0;
    int blockLength = 0;             // M
    int factor = 1;                  // L
    int frameLength = 0;             // F
    std::vector<double> in, a, b, c; // M slots each
    std::vector<double> out, d;      // F frames each
    double lastOutput = 0.0;
};
