#include "Zelvar_FFTLPF.h"

#include "MathConstants.h"

#include <cmath>
#include <initializer_list>

namespace {

double* zeroedBuffer(int n) {
    return new double[n]();
}

} // namespace

Zelvar_FFTLPF::~Zelvar_FFTLPF() {
    release();
}

void Zelvar_FFTLPF::release() {
    delete fftSetup;
    fftSetup = nullptr;
    for (double** buffer : {&window, &responseReal, &responseImag, &workReal, &workImag}) {
        delete[] * buffer;
        *buffer = nullptr;
    }
    length = 0;
    log2Length = 0;
}

void Zelvar_FFTLPF::Hanning_window(double* w, int n) {
    const double offset = n % 2 == 0 ? 0.0 : 0.5;
    for (int i = 0; i < n; ++i)
        w[i] = 0.5 - 0.5 * std::cos(twoPi * (i + offset) / n);
}

bool Zelvar_FFTLPF::initialize(int n, double rate, double cutoff) {
    const bool powerOfTwo = n >= 2 && (n & (n - 1)) == 0;
    if (!powerOfTwo || n > (1 << VectorFftSetup::maxLog2Length))
        return false;
    if (!std::isfinite(rate) || rate <= 0.0 || !std::isfinite(cutoff))
        return false;
    VectorFftSetup* setup = VectorFftSetup::create(int(std::log2(double(n))));
    if (setup == nullptr)
        return false;
    release();
    length = n;
    log2Length = setup->getLog2Length();
    samplingRate = rate;
    cutoffFrequency = cutoff;
    fftSetup = setup;
    window = zeroedBuffer(n);
    Hanning_window(window, n);
    responseReal = zeroedBuffer(n);
    responseImag = zeroedBuffer(n);
    workReal = zeroedBuffer(n);
    workImag = zeroedBuffer(n);
    buildResponse();
    return true;
}

// Trapezoid in bins: 1 below kc − W/2, linear down to 0 at kc + W/2, with kc the cutoff and W
// the 4000 Hz transition band. The upper half mirrors the lower one (conjugate symmetric, here
// real), so a real block comes back real.
void Zelvar_FFTLPF::buildResponse() {
    const double n = double(length);
    const double cutoffBin = cutoffFrequency / samplingRate * n;
    const double widthBins = transitionWidthHz / samplingRate * n;
    const double passEnd = cutoffBin - widthBins / 2.0;
    const double stopStart = cutoffBin + widthBins / 2.0;
    for (int k = 0; k <= length / 2; ++k) {
        double gain = 0.0;
        if (k < passEnd)
            gain = 1.0;
        else if (k <= stopStart)
            gain = (stopStart - k) / widthBins;
        responseReal[k] = gain;
        responseImag[k] = 0.0;
    }
    for (int k = length / 2 + 1; k < length; ++k) {
        responseReal[k] = responseReal[length - k];
        responseImag[k] = -responseImag[length - k];
    }
}

void Zelvar_FFTLPF::filter(const double* in, double* out) {
    if (fftSetup == nullptr)
        return;
    const size_t n = size_t(length);
    for (size_t i = 0; i < n; ++i)
        workReal[i] = in[i];
    vectorClear(workImag, n);
    vectorMultiply(workReal, window, workReal, n);
    const SplitComplex work{workReal, workImag};
    fftSetup->transform(work, log2Length, FftDirectionForward);
    vectorComplexMultiply(work, SplitComplex{responseReal, responseImag}, work, n);
    fftSetup->transform(work, log2Length, FftDirectionInverse);
    const double divisor = double(length) / 3.0;
    vectorScalarDivide(workReal, divisor, out, n);
}
