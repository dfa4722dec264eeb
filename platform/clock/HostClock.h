// The host clock that stamps events and output buffers: CLOCK_MONOTONIC in nanoseconds, so
// stamps from the MIDI thread, the main thread and the audio thread share one time line.
#pragma once

#include <cstdint>

class HostClock {
public:
    static uint64_t nowNanoseconds();
};
