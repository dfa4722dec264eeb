#include "Zelvar_Oversampling.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

Zelvar_Oversampling::~Zelvar_Oversampling() {
    for (double* buffer : {in, a, b, c, out, d})
        delete[] buffer;
}

bool Zelvar_Oversampling::initialize(int newFrameLength, int newFactor) {
    if (newFrameLength < 2 || newFrameLength % 2 != 0 || newFactor < 1)
        return false;
    const int64_t m = int64_t(newFrameLength) * newFactor;
    if (m > (int64_t(1) << VectorFftSetup::maxLog2Length))
        return false;
    if (!lowPass.initialize(int(m), newFactor * baseRate, cutoffHz))
        return false;
    for (double* buffer : {in, a, b, c, out, d})
        delete[] buffer;
    frameLength = newFrameLength;
    factor = newFactor;
    blockLength = int(m);
    counter = 0;
    lastOutput = 0.0;
    in = new double[blockLength]();
    a = new double[blockLength]();
    b = new double[blockLength]();
    c = new double[blockLength]();
    out = new double[frameLength]();
    d = new double[frameLength]();
    return true;
}

double Zelvar_Oversampling::nextValue(double x) {
    if (!isPrepared())
        return 0.0;
    in[(frameLength / 2 + counter) * factor] = x;
    const double y = out[counter];
    lastOutput = y;
    ++counter;
    if (counter >= frameLength / 2)
        processBlock();
    return y;
}

// The filtered blocks overlap by half: the first half of the new block is added to the second
// half of the previous one, at the high rate and again after decimation.
void Zelvar_Oversampling::processBlock() {
    const int half = blockLength / 2;
    const int frameHalf = frameLength / 2;
    std::copy(d, d + frameLength, out);
    std::copy(b, b + blockLength, a);
    lowPass.filter(in, b);
    for (int i = 0; i < half; ++i)
        a[half + i] = b[i] = a[half + i] + b[i];
    lowPass.filter(a, c);
    for (int i = 0; i < frameLength; ++i)
        d[i] = c[i * factor];
    for (int i = 0; i < frameHalf; ++i)
        out[frameHalf + i] = d[i] = out[frameHalf + i] + d[i];
    counter = 0;
    std::copy(in + half, in + blockLength, in);
}
