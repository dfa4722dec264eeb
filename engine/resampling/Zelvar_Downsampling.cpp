#include "Zelvar_Downsampling.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

Zelvar_Downsampling::~Zelvar_Downsampling() {
    for (double* buffer : {in, filtered, out, d, history})
        delete[] buffer;
}

bool Zelvar_Downsampling::initialize(int newFrameLength, int newFactor) {
    if (newFrameLength < 2 || newFrameLength % 2 != 0 || newFactor < 1)
        return false;
    const int64_t m = int64_t(newFrameLength) * newFactor;
    if (m > (int64_t(1) << VectorFftSetup::maxLog2Length))
        return false;
    if (!lowPass.initialize(int(m), newFactor * baseRate, cutoffHz))
        return false;
    for (double* buffer : {in, filtered, out, d, history})
        delete[] buffer;
    frameLength = newFrameLength;
    factor = newFactor;
    blockLength = int(m);
    counter = 0;
    lastOutput = 0.0;
    in = new double[blockLength]();
    filtered = new double[blockLength]();
    out = new double[frameLength]();
    d = new double[frameLength]();
    history = new double[blockLength / 2]();
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
    std::copy(d, d + frameLength, out);
    lowPass.filter(in, filtered);
    for (int i = 0; i < frameLength; ++i)
        d[i] = filtered[i * factor];
    for (int i = 0; i < frameHalf; ++i)
        out[frameHalf + i] = d[i] = out[frameHalf + i] + d[i];
    counter = 0;
    std::copy(history, history + blockLength / 2, in);
}
