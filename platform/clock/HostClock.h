// The host clock that stamps events and output buffers: CLOCK_MONOTONIC in nanoseconds, so
// stamps from the MIDI thread, the main thread and the audio thread share one time line.
#pragma once

#include <cstdint>

class HostClock {
public:
    static uint64_t nowNanoseconds();

    // The host time of a moment another clock (an audio server's, in microseconds) gives, when
    // that clock reads `otherNowMicroseconds` at host time `nowNanoseconds`. Only the distance
    // back from now is taken from the other clock, whose time base may not be ours; a moment
    // the other clock puts in the future is now, and none is placed before host time zero.
    static uint64_t earlierBy(uint64_t nowNanoseconds, uint64_t otherNowMicroseconds,
                              uint64_t otherThenMicroseconds);
};
