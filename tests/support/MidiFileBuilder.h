// Builds Standard MIDI File images byte by byte, so tests and benchmarks make the files they
// need (including broken ones) instead of keeping binary fixtures.
//
//   MidiFileBuilder::Track track;
//   track.noteOn(0, 0, 69, 100).noteOff(480, 0, 69).end();
//   Bytes file = MidiFileBuilder::file(0, 480, {track});
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MidiFileBuilder {
public:
    using Bytes = std::vector<uint8_t>;

    // One MTrk chunk's events, each a delta time and the bytes that follow it verbatim (so
    // running status and malformed events are the test's to write).
    class Track {
    public:
        Track& event(uint32_t delta, const Bytes& bytes);
        Track& noteOn(uint32_t delta, int channel, int note, int velocity);
        Track& noteOff(uint32_t delta, int channel, int note);
        Track& controller(uint32_t delta, int channel, int number, int value);
        Track& tempo(uint32_t delta, uint32_t microsecondsPerQuarter);
        Track& meta(uint32_t delta, uint8_t type, const Bytes& data);
        Track& end(uint32_t delta = 0);

        Bytes events;
    };

    static Bytes variableLength(uint32_t value);
    static Bytes bigEndian32(uint32_t value);
    // "MThd" with format, track count and the raw division word.
    static Bytes header(uint16_t format, uint16_t tracks, uint16_t division);
    static Bytes chunk(const char* id, const Bytes& content);
    static Bytes file(uint16_t format, uint16_t division, const std::vector<Track>& tracks);

    static bool write(const std::string& path, const Bytes& bytes);
};
