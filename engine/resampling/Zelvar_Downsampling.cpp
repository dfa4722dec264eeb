#include "Zelvar_Downsampling.h"

#include "ResamplingBlock.h"

#include <algorithm>

bool Zelvar_Downsampling::initialize(int newFrameLength, int newFactor) {
    const int m = resamplingBlockLength(newFrameLength, newFactor);
    if (m == 0 || !lowPass.initialize(m, newFactor * baseRate, cutoffHz))
        return false;
    frameLength = newFrameLength;
    factor = newFactor;
    blockLength = m;
    counter = 0;
    lastOutput = 0.0;
    in.assign(size_t(blockLength), 0.0);
    filtered.assign(size_t(blockLength), 0.0);
    out.assign(size_t(frameLength), 0.0);
    d.assign(size_t(frameLength), 0.0);
    history.assign(size_t(blockLength / 2), 0.0);
    return true;
}

void Zelvar_Downsampling::setParameterManager(Zelvar_ParameterManager* manager) {
    parameterManager = manager;
    if (sourceSetParameterManager != nullptr)
        sourceSetParameterManager(sourceContext, manager);
}

double Zelvar_Downsampling::nextValue() {
    if (!isPrepared())
        return 0.0;
    const double y = out[counter];
    lastOutput = y;
    pullSource();
    ++counter;
    if (counter >= frameLength / 2)
        processBlock();
    return y;
}

void Zelvar_Downsampling::pullSource() {
    if (sourceUpdate != nullptr)
        sourceUpdate(sourceContext);
    const int half = blockLength / 2;
    for (int i = 0; i < factor; ++i) {
        const double x = sourceGetValue != nullptr ? sourceGetValue(sourceContext) * sourceGain : 0;
        history[counter * factor + i] = x;
        in[half + counter * factor + i] = x;
    }
}

// The new block's first half is added to the previous block's second half after decimation;
// the samples just taken become the first half of the next block.
void Zelvar_Downsampling::processBlock() {
    const int frameHalf = frameLength / 2;
    out = d;
    lowPass.filter(in.data(), filtered.data());
    for (int i = 0; i < frameLength; ++i)
        d[i] = filtered[i * factor];
    for (int i = 0; i < frameHalf; ++i)
        out[frameHalf + i] = d[i] = out[frameHalf + i] + d[i];
    counter = 0;
    std::copy(history.begin(), history.end(), in.begin());
}
