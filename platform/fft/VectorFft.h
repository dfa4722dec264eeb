// The vector signal-processing stand-in: the few double-precision FFT and vector routines that
// the engine's block filters need, on FFTW3.
//
// Transforms are complex, in place on split real/imaginary arrays, of length 2^k, and unscaled
// in both directions: forward X[k] = Σ x[n]·e^(−2πi·nk/N), inverse Σ X[k]·e^(+2πi·nk/N), so a
// round trip multiplies by N. Plans are made when a set-up is created (not on the audio
// thread); transforms and vector routines allocate nothing and take no lock. A set-up works in
// arrays of its own, so one set-up serves one thread at a time.
#pragma once

#include <cstddef>

struct SplitComplex {
    double* real;
    double* imag;
};

enum FftDirection { FftDirectionForward = 1, FftDirectionInverse = -1 };

class VectorFftSetup {
public:
    static constexpr int maxLog2Length = 24;

    // Plans every length 2^0 .. 2^log2Length. Null when log2Length is outside 0 .. 24 or
    // planning failed.
    static VectorFftSetup* create(int log2Length);
    ~VectorFftSetup();
    VectorFftSetup(const VectorFftSetup&) = delete;
    VectorFftSetup& operator=(const VectorFftSetup&) = delete;

    int getLog2Length() const { return log2Length; }

    // In place on data.real[0 .. 2^log2N) and data.imag[0 .. 2^log2N). Returns false,
    // leaving the data untouched, when log2N is beyond what this set-up planned.
    bool transform(SplitComplex data, int log2N, FftDirection direction);

private:
    VectorFftSetup() = default;

    int log2Length = -1;
    void** plans = nullptr; // forward and inverse per length, opaque FFTW plans
    double* scratchReal = nullptr;
    double* scratchImag = nullptr;
};

// out[i] = a[i] × b[i], complex. out may alias a or b.
void vectorComplexMultiply(SplitComplex a, SplitComplex b, SplitComplex out, size_t n);
// out[i] = a[i] × b[i]. out may alias a or b.
void vectorMultiply(const double* a, const double* b, double* out, size_t n);
void vectorClear(double* v, size_t n);
// out[i] = a[i] / divisor. out may alias a.
void vectorScalarDivide(const double* a, double divisor, double* out, size_t n);
