#include "Zelvar_Delay.h"

#include <cstring>

Zelvar_Delay::~Zelvar_Delay() {
    delete[] buffer;
}

void Zelvar_Delay::allocate() {
    delete[] buffer;
    bufferSize = int(maximumSeconds * samplingRate);
    if (bufferSize < 2)
        bufferSize = 2;
    buffer = new double[bufferSize]();
    writeIndex = 0;
    readIndex = 1;
    if (length > bufferSize)
        length = bufferSize;
}

void Zelvar_Delay::initialize() {
    allocate();
}

void Zelvar_Delay::setSamplingRate(double rate) {
    samplingRate = rate;
    allocate();
}

void Zelvar_Delay::setDelayTime(double seconds) {
    if (seconds == delayTime)
        return;
    delayTime = seconds;
    // Times beyond the buffer (or negative, or NaN) are clamped rather than read out of bounds.
    double clamped = seconds;
    if (!(clamped > 0.0))
        clamped = 0.0;
    if (clamped > maximumSeconds)
        clamped = maximumSeconds;
    length = int(clamped * samplingRate);
    if (length > bufferSize)
        length = bufferSize;
    if (length > 0)
        std::memset(buffer, 0, sizeof(double) * size_t(length));
    writeIndex = 0;
    readIndex = 1;
}
