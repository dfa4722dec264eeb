#include "Zelvar_Delay.h"

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
    silentReads = 0;
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
    // Entry 1 is the only one read before it is written again: with a length of 0 or 1 the
    // first read meets it, outside the line. A line of 2 or more would have cleared it, so it is
    // cleared for such a later read; the rest of the clearing is never seen.
    silentReads = length >= 2 ? length - 1 : 0;
    if (length >= 2)
        buffer[1] = 0.0;
    writeIndex = 0;
    readIndex = 1;
}

void Zelvar_Delay::run(const double* in, double* out, int n) {
    double* const line = buffer;
    const int size = length;
    const double fb = feedback;
    const double wet = mix;
    int w = writeIndex;
    int r = readIndex;
    int silent = silentReads;
    for (int i = 0; i < n; ++i) {
        const double x = in[i];
        double delayed = 0.0;
        if (silent > 0)
            --silent;
        else
            delayed = line[r];
        line[w] = x + fb * delayed;
        w = advance(w, size);
        r = advance(r, size);
        out[i] = (1.0 - wet) * x + wet * delayed;
    }
    writeIndex = w;
    readIndex = r;
    silentReads = silent;
}

// A time equal to the present one changes nothing, so the frames up to the end of the run go in
// one stretch; a time that acts on every call (a NaN) makes every frame a stretch of its own.
void Zelvar_Delay::process(const double* in, double* out, int n, double seconds) {
    for (int i = 0; i < n;) {
        setDelayTime(seconds);
        const int end = seconds == delayTime ? n : i + 1;
        run(in + i, out + i, end - i);
        i = end;
    }
}
