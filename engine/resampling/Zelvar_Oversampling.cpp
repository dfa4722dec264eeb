#include "Zelvar_Oversampling.h"

#include "ResamplingBlock.h"

#include <algorithm>
#include <initializer_list>

bool Zelvar_Oversampling::initialize(int newFrameLength, int newFactor) {
    const int m = resamplingBlockLength(newFrameLength, newFactor);
    if (m == 0 || !lowPass.initialize(m, newFactor * baseRate, cutoffHz))
        return false;
    frameLength = newFrameLength;
    factor = newFactor;
    blockLength = m;
    counter = 0;
    lastOutput = 0.0;
    for (std::vector<double>* block : {&in, &a, &b, &c})
        block->assign(size_t(blockLength), 0.0);
    out.assign(size_t(frameLength), 0.0);
    d.assign(size_t(frameLength), 0.0);
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
    out = d;
    a = b;
    lowPass.filter(in.data(), b.data());
    for (int i = 0; i < half; ++i)
        a[half + i] = b[i] = a[half + i] + b[i];
    lowPass.filter(a.data(), c.data());
    for (int i = 0; i < frameLength; ++i)
        d[i] = c[i * factor];
    for (int i = 0; i < frameHalf; ++i)
        out[frameHalf + i] = d[i] = out[frameHalf + i] + d[i];
    counter = 0;
    std::copy(in.begin() + half, in.end(), in.begin());
}
