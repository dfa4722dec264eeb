// One output unit: the stream format and render callback a host gives it, and the running
// sample time it stamps buffers with. Behind the opaque AudioUnit handle.
#pragma once

#include "CorvenaAudioTypes.h"

#include <cstdint>

struct OutputUnit {
    uint32_t subType = 0;
    bool initialized = false;
    bool running = false;
    AudioStreamBasicDescription format{};
    AURenderCallbackStruct callback{};
    double sampleTime = 0.0;

    // Hands the render callback one interleaved buffer of `frames` frames, stamped with the
    // unit's running sample time and the host clock, then advances the sample time.
    void renderInterleaved(uint32_t frames, float* interleaved);
};
