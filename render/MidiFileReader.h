// Reads a Standard MIDI File image (format 0 or 1) into a MidiSong: every track's channel
// messages merged onto one time line, running status resolved, the tempo changes, the time
// division (ticks per quarter note or time code) and the length.
//
// The reader trusts no length in the file: every chunk, delta time, meta or system exclusive
// length is checked against the bytes that are really there before it is used, and a file that
// breaks the format is refused with one sentence that says what is wrong and at which byte
// (offsets count from the start of the file). Unknown chunks are skipped, as the format asks;
// meta events and system exclusive messages are skipped whole. Running status carries across
// meta and system exclusive events: files that rely on that play, and nothing is lost for files
// that do not.
#pragma once

#include "MidiSong.h"

#include <cstddef>
#include <cstdint>
#include <string>

class MidiFileReader {
public:
    // Larger files are refused before they are read: the messages of a file this size already
    // take hundreds of megabytes.
    static constexpr size_t largestFileBytes = size_t(32) << 20;

    // On failure returns false with `error` set; `song` is then unspecified.
    static bool read(const uint8_t* data, size_t size, MidiSong& song, std::string& error);
};
