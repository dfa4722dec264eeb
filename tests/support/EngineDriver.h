// Drives an engine the way a host does, through the C interface alone: events go in with
// DspSetEventWithTimeStamp on the sample clock, frames come out through the exported render
// callback. Deterministic and sample-exact, so tests can say "at frame N the output is X".
#pragma once

#include "Corvena_Core.h"

#include <cstdint>
#include <string>
#include <vector>

#ifndef CORVENA_TEST_RESOURCES
#define CORVENA_TEST_RESOURCES ""
#endif

class EngineDriver {
public:
    // By default the engine loads the wavetables the build generated.
    explicit EngineDriver(const std::string& resourceDirectory = CORVENA_TEST_RESOURCES);
    ~EngineDriver();
    EngineDriver(const EngineDriver&) = delete;
    EngineDriver& operator=(const EngineDriver&) = delete;

    DspObject handle() const { return dsp; }
    uint64_t position() const { return sampleTime; }

    // Events stamped at `stampSample` act at stampSample + DspEventLatencySamples.
    double post(uint64_t stampSample, EventSubType subType, ParameterType type, double value1,
                double value2 = 0.0, double value3 = 0.0);
    void noteOn(uint64_t stampSample, int note, int velocity);
    void noteOff(uint64_t stampSample, int note);
    double parameter(uint64_t stampSample, ParameterType type, double normalized);

    // Renders `frames` frames as one interleaved stereo buffer of `blockSize`-frame callbacks.
    struct Stereo {
        std::vector<float> left, right;
    };
    Stereo render(size_t frames, uint32_t blockSize = 512);

private:
    DspObject dsp = nullptr;
    uint64_t sampleTime = 0;
    uint64_t hostTime = 1000000000ull;
};
