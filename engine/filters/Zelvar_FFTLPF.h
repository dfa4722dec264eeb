// A block low-pass filter in the frequency domain: one block of N samples is Hann-windowed,
// transformed, multiplied bin by bin by a trapezoid response (flat to 2000 Hz below the cutoff,
// falling linearly to zero 2000 Hz above it) and transformed back. The oversampler and the
// downsampler of the rate-conversion units filter their blocks with it; the sound path does
// not use it.
//
// Output scaling is 3 / N: the unscaled inverse transform carries a factor N, and the blocks
// are overlap-added at half a block by their owners.
#pragma once

#include "VectorFft.h"

class Zelvar_FFTLPF {
public:
    static constexpr double transitionWidthHz = 4000.0;

    Zelvar_FFTLPF() = default;
    ~Zelvar_FFTLPF();
    Zelvar_FFTLPF(const Zelvar_FFTLPF&) = delete;
    Zelvar_FFTLPF& operator=(const Zelvar_FFTLPF&) = delete;

    // Even n: w[i] = 0.5 − 0.5·cos(2πi/n), the periodic window whose half-overlapped copies sum
    // to one; odd n: sampled at the bin centres, w[i] = 0.5 − 0.5·cos(2π(i + 0.5)/n).
    static void Hanning_window(double* w, int n);

    // Allocates every buffer and plans the transforms (not on the audio thread). Refused,
    // returning false and leaving the filter unprepared, when n is not a power of two from 2 to
    // 2^24, or the rate is not a finite number above 0, or the cutoff is not finite.
    bool initialize(int n, double rate, double cutoff);
    bool isPrepared() const { return fftSetup != nullptr; }

    // in and out hold N samples each and may be the same array. An unprepared filter has no
    // length and leaves out untouched.
    void filter(const double* in, double* out);

    int getLength() const { return length; }
    double getResponse(int bin) const { return responseReal[bin]; }
    double getResponseImaginary(int bin) const { return responseImag[bin]; }
    const double* getWindow() const { return window; }

private:
    void release();
    void buildResponse();

    int length = 0;
    int log2Length = 0;
    double samplingRate = 0.0;
    double cutoffFrequency = 0.0;
    double* window = nullptr;
    double* responseReal = nullptr;
    double* responseImag = nullptr;
    VectorFftSetup* fftSetup = nullptr;
    double* workReal = nullptr;
    double* workImag = nullptr;
};
