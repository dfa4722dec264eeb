#include "MidiFileBuilder.h"

#include <cstdio>

using Bytes = MidiFileBuilder::Bytes;

Bytes MidiFileBuilder::variableLength(uint32_t value) {
    Bytes reversed{uint8_t(value & 0x7F)};
    while ((value >>= 7) != 0)
        reversed.push_back(uint8_t(0x80 | (value & 0x7F)));
    return Bytes(reversed.rbegin(), reversed.rend());
}

Bytes MidiFileBuilder::bigEndian32(uint32_t value) {
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

Bytes MidiFileBuilder::header(uint16_t format, uint16_t tracks, uint16_t division) {
    return chunk("MThd", {uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
                          uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)});
}

Bytes MidiFileBuilder::chunk(const char* id, const Bytes& content) {
    Bytes bytes(id, id + 4);
    const Bytes length = bigEndian32(uint32_t(content.size()));
    bytes.insert(bytes.end(), length.begin(), length.end());
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
}

Bytes MidiFileBuilder::file(uint16_t format, uint16_t division, const std::vector<Track>& tracks) {
    Bytes bytes = header(format, uint16_t(tracks.size()), division);
    for (const Track& track : tracks) {
        const Bytes trackChunk = chunk("MTrk", track.events);
        bytes.insert(bytes.end(), trackChunk.begin(), trackChunk.end());
    }
    return bytes;
}

bool MidiFileBuilder::write(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

MidiFileBuilder::Track& MidiFileBuilder::Track::event(uint32_t delta, const Bytes& bytes) {
    const Bytes time = variableLength(delta);
    events.insert(events.end(), time.begin(), time.end());
    events.insert(events.end(), bytes.begin(), bytes.end());
    return *this;
}

MidiFileBuilder::Track& MidiFileBuilder::Track::noteOn(uint32_t delta, int channel, int note,
                                                       int velocity) {
    return event(delta, {uint8_t(0x90 | channel), uint8_t(note), uint8_t(velocity)});
}

MidiFileBuilder::Track& MidiFileBuilder::Track::noteOff(uint32_t delta, int channel, int note) {
    return event(delta, {uint8_t(0x80 | channel), uint8_t(note), 64});
}

MidiFileBuilder::Track& MidiFileBuilder::Track::controller(uint32_t delta, int channel, int number,
                                                           int value) {
    return event(delta, {uint8_t(0xB0 | channel), uint8_t(number), uint8_t(value)});
}

MidiFileBuilder::Track& MidiFileBuilder::Track::tempo(uint32_t delta,
                                                      uint32_t microsecondsPerQuarter) {
    return meta(delta, 0x51,
                {uint8_t(microsecondsPerQuarter >> 16), uint8_t(microsecondsPerQuarter >> 8),
                 uint8_t(microsecondsPerQuarter)});
}

MidiFileBuilder::Track& MidiFileBuilder::Track::meta(uint32_t delta, uint8_t type,
                                                     const Bytes& data) {
    Bytes bytes{0xFF, type};
    const Bytes length = variableLength(uint32_t(data.size()));
    bytes.insert(bytes.end(), length.begin(), length.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return event(delta, bytes);
}

MidiFileBuilder::Track& MidiFileBuilder::Track::end(uint32_t delta) {
    return meta(delta, 0x2F, {});
}
