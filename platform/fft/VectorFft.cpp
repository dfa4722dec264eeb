#include "VectorFft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>

namespace {

// The FFTW planner is not thread-safe; executing a finished plan is.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

VectorFftSetup* VectorFftSetup::create(int log2Length) {
    if (log2Length < 0 || log2Length > maxLog2Length)
        return nullptr;
    VectorFftSetup* setup = new VectorFftSetup;
    bool planned = true;
    {
        std::lock_guard<std::mutex> lock(plannerMutex());
        const size_t length = size_t(1) << log2Length;
        setup->scratchReal = fftw_alloc_real(length);
        setup->scratchImag = fftw_alloc_real(length);
        setup->plans = new void*[2 * (log2Length + 1)]();
        setup->log2Length = log2Length;
        planned = setup->scratchReal != nullptr && setup->scratchImag != nullptr;
        double* re = setup->scratchReal;
        double* im = setup->scratchImag;
        for (int k = 0; planned && k <= log2Length; ++k) {
            fftw_iodim dimension{1 << k, 1, 1};
            // FFTW's split transform is the forward one; on swapped parts it computes the
            // unscaled backward transform. Both run in place on the set-up's own arrays, so
            // the plans never meet arrays of another alignment or part separation.
            fftw_plan forward =
                fftw_plan_guru_split_dft(1, &dimension, 0, nullptr, re, im, re, im, FFTW_ESTIMATE);
            fftw_plan inverse =
                fftw_plan_guru_split_dft(1, &dimension, 0, nullptr, im, re, im, re, FFTW_ESTIMATE);
            setup->plans[2 * k] = forward;
            setup->plans[2 * k + 1] = inverse;
            planned = forward != nullptr && inverse != nullptr;
        }
    }
    if (!planned) {
        delete setup;
        return nullptr;
    }
    return setup;
}

VectorFftSetup::~VectorFftSetup() {
    std::lock_guard<std::mutex> lock(plannerMutex());
    for (int k = 0; plans != nullptr && k < 2 * (log2Length + 1); ++k) {
        if (plans[k] != nullptr)
            fftw_destroy_plan(static_cast<fftw_plan>(plans[k]));
    }
    delete[] plans;
    fftw_free(scratchReal);
    fftw_free(scratchImag);
}

bool VectorFftSetup::transform(SplitComplex data, int log2N, FftDirection direction) {
    if (log2N < 0 || log2N > log2Length || data.real == nullptr || data.imag == nullptr)
        return false;
    const size_t n = size_t(1) << log2N;
    std::copy(data.real, data.real + n, scratchReal);
    std::copy(data.imag, data.imag + n, scratchImag);
    const int plan = 2 * log2N + (direction == FftDirectionInverse ? 1 : 0);
    fftw_execute(static_cast<fftw_plan>(plans[plan]));
    std::copy(scratchReal, scratchReal + n, data.real);
    std::copy(scratchImag, scratchImag + n, data.imag);
    return true;
}

void vectorComplexMultiply(SplitComplex a, SplitComplex b, SplitComplex out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const double re = a.real[i] * b.real[i] - a.imag[i] * b.imag[i];
        const double im = a.real[i] * b.imag[i] + a.imag[i] * b.real[i];
        out.real[i] = re;
        out.imag[i] = im;
    }
}

void vectorMultiply(const double* a, const double* b, double* out, size_t n) {
    for (size_t i = 0; i < n; ++i)
        out[i] = a[i] * b[i];
}

void vectorClear(double* v, size_t n) {
    for (size_t i = 0; i < n; ++i)
        v[i] = 0.0;
}

void vectorScalarDivide(const double* a, double divisor, double* out, size_t n) {
    for (size_t i = 0; i < n; ++i)
        out[i] = a[i] / divisor;
}
