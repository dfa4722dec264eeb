// Ticks of a MIDI file to samples: the sample at which an event at tick t sounds is
// round(seconds(t) × rate), with halves rounded up (towards later samples).
//
// seconds(t) sums, over the tempo segments before t, ticks × microseconds per quarter note /
// (ticks per quarter × 10^6), from 500 000 µs (120 beats per minute) until the first tempo
// change; a change at tick c acts from c on, and of several at one tick the last one counts.
// With a time-code division the tempo does not apply: seconds(t) = t / (frames per second ×
// ticks per frame), with 29 meaning 30000/1001 frames per second (29.97 drop-frame).
//
// Everything is integer arithmetic on exact fractions (128-bit), so the sample a tick lands on
// does not depend on how long the file is or in which order ticks are asked for.
#pragma once

#include "MidiSong.h"

#include <cstdint>
#include <vector>

class TempoMap {
public:
    static constexpr uint32_t defaultMicrosecondsPerQuarter = 500000;

    TempoMap(const MidiTimeDivision& division, const std::vector<MidiTempoChange>& changes,
             uint32_t sampleRate = 44100);

    // Saturates at the largest uint64_t for ticks no file of sensible length reaches.
    uint64_t sampleAt(uint64_t tick) const;
    double secondsAt(uint64_t tick) const;

private:
    using Wide = unsigned __int128;

    struct Segment {
        uint64_t startTick;
        Wide startMicroTicks; // sum of ticks × microseconds per quarter before startTick
        uint32_t microsecondsPerQuarter;
    };

    // seconds(tick) as numerator / denominator.
    void exactSeconds(uint64_t tick, Wide& numerator, Wide& denominator) const;

    MidiTimeDivision division;
    uint32_t sampleRate;
    std::vector<Segment> segments; // ascending start ticks, the first at tick 0
};
