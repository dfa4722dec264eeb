// Packet-list images for the MIDI tests, built from plain byte vectors.
#pragma once

#include "MidiPacketList.h"

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The image of a packet list holding one packet per entry, time stamps 1, 2, 3, ...
inline Bytes packetListImage(const std::vector<Bytes>& packets) {
    std::size_t size = midiPacketListHeaderBytes;
    for (const Bytes& p : packets)
        size += midiPacketHeaderBytes + p.size();
    Bytes image(size);
    MIDIPacketListWriter writer(image.data(), image.size());
    std::uint64_t stamp = 1;
    for (const Bytes& p : packets)
        writer.add(stamp++, p.data(), static_cast<std::uint16_t>(p.size()));
    return image;
}

inline MIDIPacketList view(const Bytes& image) {
    return {image.data(), image.size()};
}
