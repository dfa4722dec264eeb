// What the renderer takes from a Standard MIDI File: the channel messages of every track on one
// time line, the tempo changes, the file's time division and its length in ticks. Meta events
// other than tempo and end of track, and system exclusive messages, are not kept.
#pragma once

#include <cstdint>
#include <vector>

struct MidiTimeDivision {
    // Metrical time: ticks per quarter note, the quarter note's length coming from the tempo.
    // Time code: frames per second (24, 25, 29 for 29.97 drop-frame, 30) times ticks per frame;
    // tempo changes do not move anything then.
    bool timeCode = false;
    uint32_t ticksPerQuarter = 0;
    uint32_t framesPerSecond = 0;
    uint32_t ticksPerFrame = 0;
};

struct MidiFileMessage {
    uint64_t tick = 0;
    uint32_t track = 0;
    uint8_t size = 0; // 2 (program change, channel pressure) or 3
    uint8_t bytes[3] = {0, 0, 0};
};

struct MidiTempoChange {
    uint64_t tick = 0;
    uint32_t microsecondsPerQuarter = 0;
};

struct MidiSong {
    uint16_t format = 0;
    uint16_t trackCount = 0;
    MidiTimeDivision division;
    // Both lists in time order; at one tick, track by track, each track's in file order.
    std::vector<MidiFileMessage> messages;
    std::vector<MidiTempoChange> tempoChanges;
    uint64_t lengthTicks = 0; // the latest message or end of track of any track
};
