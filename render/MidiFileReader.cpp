#include "MidiFileReader.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr size_t chunkHeaderBytes = 8;
constexpr uint32_t headerChunkBytes = 6;
constexpr int longestVariableLength = 4; // 28 bits, the format's own limit

class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] __attribute__((format(printf, 1, 2))) void fail(const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    throw ReadError(text);
}

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t bigEndian16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

bool isChunkId(const uint8_t* p) {
    return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

// Data bytes that follow a channel status: one for program change and channel pressure.
int dataBytesFor(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// One track chunk's events, read in order. Offsets in messages are file offsets.
class TrackParser {
public:
    TrackParser(const uint8_t* file, size_t begin, size_t end, uint32_t track, MidiSong& song)
        : file(file), position(begin), end(end), track(track), song(song) {}

    void parse() {
        uint64_t tick = 0;
        uint8_t runningStatus = 0;
        while (position < end) {
            tick += readVariableLength("delta time");
            song.lengthTicks = std::max(song.lengthTicks, tick);
            const size_t eventAt = position;
            if (position == end)
                fail("track %u: the track ends at byte %zu between a delta time and its event",
                     track + 1, eventAt);
            const uint8_t first = file[position++];
            if (first == 0xFF) {
                if (skipMeta(eventAt, tick))
                    break; // end of track: anything after it is not part of the track
            } else if (first == 0xF0 || first == 0xF7) {
                const uint32_t length = readVariableLength("system exclusive length");
                skip(length, "system exclusive message", eventAt);
            } else if (first >= 0xF0) {
                fail("track %u: status byte 0x%02X at byte %zu cannot appear in a MIDI file",
                     track + 1, first, eventAt);
            } else {
                MidiFileMessage message;
                message.tick = tick;
                message.track = track;
                int have = 0;
                if (first & 0x80) {
                    runningStatus = first;
                } else {
                    if (runningStatus == 0)
                        fail("track %u: data byte 0x%02X at byte %zu has no status byte before "
                             "it (running status without a status)",
                             track + 1, first, eventAt);
                    message.bytes[1] = first;
                    have = 1;
                }
                message.bytes[0] = runningStatus;
                const int needed = dataBytesFor(runningStatus);
                for (; have < needed; ++have) {
                    if (position == end)
                        fail("track %u: the message at byte %zu is cut off by the end of the track",
                             track + 1, eventAt);
                    const uint8_t data = file[position++];
                    if (data & 0x80)
                        fail("track %u: the message at byte %zu has status byte 0x%02X where a "
                             "data byte belongs",
                             track + 1, eventAt, data);
                    message.bytes[1 + have] = data;
                }
                message.size = uint8_t(1 + needed);
                song.messages.push_back(message);
            }
        }
    }

private:
    uint32_t readVariableLength(const char* what) {
        const size_t at = position;
        uint32_t value = 0;
        for (int i = 0; i < longestVariableLength; ++i) {
            if (position == end)
                fail("track %u: the %s at byte %zu runs past the end of the track", track + 1, what,
                     at);
            const uint8_t byte = file[position++];
            value = value << 7 | (byte & 0x7F);
            if ((byte & 0x80) == 0)
                return value;
        }
        fail("track %u: the %s at byte %zu is longer than four bytes", track + 1, what, at);
    }

    void skip(uint32_t length, const char* what, size_t eventAt) {
        if (length > end - position)
            fail("track %u: the %s at byte %zu claims %u bytes but only %zu remain in the track",
                 track + 1, what, eventAt, length, end - position);
        position += length;
    }

    // Returns true at the end of the track.
    bool skipMeta(size_t eventAt, uint64_t tick) {
        if (position == end)
            fail("track %u: the meta event at byte %zu is cut off by the end of the track",
                 track + 1, eventAt);
        const uint8_t type = file[position++];
        const uint32_t length = readVariableLength("meta event length");
        const uint8_t* data = file + position;
        skip(length, "meta event", eventAt);
        if (type == 0x51 && length == 3) {
            const uint32_t microseconds =
                uint32_t(data[0]) << 16 | uint32_t(data[1]) << 8 | data[2];
            song.tempoChanges.push_back({tick, microseconds});
        }
        return type == 0x2F;
    }

    const uint8_t* file;
    size_t position;
    size_t end;
    uint32_t track;
    MidiSong& song;
};

MidiTimeDivision readDivision(uint16_t division) {
    MidiTimeDivision result;
    if (division & 0x8000) {
        result.timeCode = true;
        const int framesPerSecond = -int(int8_t(division >> 8));
        result.ticksPerFrame = division & 0xFF;
        if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 &&
            framesPerSecond != 30)
            fail("the time division gives %d frames per second (24, 25, 29 or 30 are valid)",
                 framesPerSecond);
        if (result.ticksPerFrame == 0)
            fail("the time division is 0 ticks per frame");
        result.framesPerSecond = uint32_t(framesPerSecond);
    } else {
        result.ticksPerQuarter = division;
        if (division == 0)
            fail("the time division is 0 ticks per quarter note");
    }
    return result;
}

void parse(const uint8_t* data, size_t size, MidiSong& song) {
    if (size < 4 || std::memcmp(data, "MThd", 4) != 0)
        fail("not a MIDI file (it does not begin with an \"MThd\" header)");
    if (size < chunkHeaderBytes + headerChunkBytes)
        fail("truncated: the file ends inside its header, after %zu bytes", size);
    const uint32_t headerLength = bigEndian32(data + 4);
    if (headerLength < headerChunkBytes)
        fail("the header chunk says it is %u bytes long; it needs 6", headerLength);
    if (headerLength > size - chunkHeaderBytes)
        fail("the header chunk claims %u bytes but only %zu follow it", headerLength,
             size - chunkHeaderBytes);
    song.format = bigEndian16(data + 8);
    song.trackCount = bigEndian16(data + 10);
    if (song.format == 2)
        fail("format 2 (independent sequences) is not supported; formats 0 and 1 are");
    if (song.format > 2)
        fail("unknown format %u (formats 0 and 1 are supported)", unsigned(song.format));
    if (song.trackCount == 0)
        fail("the header declares no tracks");
    song.division = readDivision(bigEndian16(data + 12));

    size_t position = chunkHeaderBytes + headerLength;
    uint32_t track = 0;
    while (track < song.trackCount) {
        if (position == size)
            fail("truncated: the header declares %u tracks but the file ends after %u",
                 unsigned(song.trackCount), track);
        if (size - position < chunkHeaderBytes)
            fail("truncated: the chunk header at byte %zu is cut off", position);
        const uint8_t* chunk = data + position;
        const uint32_t length = bigEndian32(chunk + 4);
        const bool isTrack = std::memcmp(chunk, "MTrk", 4) == 0;
        if (!isTrack && !isChunkId(chunk))
            fail("byte %zu should start a chunk but holds no chunk name", position);
        if (length > size - position - chunkHeaderBytes) {
            if (isTrack)
                fail("track %u claims %u bytes at byte %zu but only %zu remain", track + 1, length,
                     position, size - position - chunkHeaderBytes);
            fail("the chunk at byte %zu claims %u bytes but only %zu remain", position, length,
                 size - position - chunkHeaderBytes);
        }
        const size_t begin = position + chunkHeaderBytes;
        if (isTrack)
            TrackParser(data, begin, begin + length, track++, song).parse();
        position = begin + length;
    }
    // Tracks were read one after another: a stable sort by tick puts simultaneous events in
    // track order, each track's in its own order.
    std::stable_sort(
        song.messages.begin(), song.messages.end(),
        [](const MidiFileMessage& a, const MidiFileMessage& b) { return a.tick < b.tick; });
    std::stable_sort(
        song.tempoChanges.begin(), song.tempoChanges.end(),
        [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.tick < b.tick; });
}

} // namespace

bool MidiFileReader::read(const uint8_t* data, size_t size, MidiSong& song, std::string& error) {
    song = MidiSong();
    try {
        if (data == nullptr)
            size = 0;
        if (size > largestFileBytes)
            fail("the file is %zu bytes, larger than the %zu MiB a MIDI file may have here", size,
                 largestFileBytes >> 20);
        parse(data, size, song);
        return true;
    } catch (const ReadError& e) {
        error = e.what();
        return false;
    }
}
