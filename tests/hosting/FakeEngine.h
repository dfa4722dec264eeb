// A stand-in for the engine behind its C interface, for unit tests of code that drives an
// engine: it records every event posted with DspSetEventWithTimeStamp, and renders through
// AudioUnitAudioOutputProc a signal chosen by the test, as a function of the engine frame
// (frame n is the one rendered at sample time DspEventLatencySamples + n). A posted note on acts
// like the real engine's events: from the frame its stamp names, the output steps up by one.
#pragma once

#include "Corvena_Core.h"

#include <cstdint>
#include <functional>
#include <vector>

struct PostedEvent {
    double sampleTime;
    EventSubType subType;
    ParameterType type;
    double value1;
    double value2;
};

class FakeEngine {
public:
    FakeEngine();
    DspObject handle() { return this; }

    std::vector<PostedEvent> posted;
    // Sample times of the render calls, in order, and their frame counts.
    std::vector<double> renderStartTimes;
    std::vector<uint32_t> renderFrameCounts;
    // Left output for engine frame n; the right output is its negative.
    std::function<double(uint64_t)> signal = [](uint64_t) { return 0.0; };
    bool recordRenders = true;

    double outputAt(uint64_t frame) const;
};
