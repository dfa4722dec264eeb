// One output unit: the stream format and render callback a host gives it, the running sample
// time it stamps buffers with, and — for a unit of the default-output component — the device
// that calls it, made by the factory its component gave it. Behind the opaque AudioUnit handle.
#pragma once

#include "CorvenaAudioTypes.h"

#include <cstdint>
#include <string>

class OutputDevice;

struct OutputUnit {
    uint32_t subType = 0;
    bool initialized = false;
    bool running = false;
    AudioStreamBasicDescription format{};
    AURenderCallbackStruct callback{};
    double sampleTime = 0.0;
    // Set by the component that made the unit; none for a manual unit. A function pointer
    // crosses library copies of these services intact, which a registry would not.
    OutputDevice* (*createDevice)(OutputUnit* unit) = nullptr;
    OutputDevice* device = nullptr; // owned; exists while a default-output unit is started
    std::string errorText;          // why the last start failed; empty after a good start

    ~OutputUnit();

    // Hands the render callback one interleaved buffer of `frames` frames, stamped with the
    // unit's running sample time and the host clock, then advances the sample time. Without a
    // callback the buffer is silence, never whatever the device left in it.
    void renderInterleaved(uint32_t frames, float* interleaved);
};
