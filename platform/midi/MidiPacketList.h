// The packet list that the MIDI services hand to an input port's read callback and take in
// MIDISend: one contiguous byte image in native byte order, a 32-bit packet count followed by
// that many packets, each a 64-bit host-time stamp, a 16-bit length and that many data bytes,
// packet k + 1 starting right after the last data byte of packet k (no padding). The image is
// unaligned by nature, so it is only ever read through memcpy.
//
// A list travels as a view (bytes and the size of the image) so that a reader can refuse an
// image whose lengths run past its end instead of reading beyond it.
#pragma once

#include <cstddef>
#include <cstdint>

struct MIDIPacketList {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

inline constexpr std::size_t midiPacketListHeaderBytes = 4;
inline constexpr std::size_t midiPacketHeaderBytes = 10; // time stamp (8) and length (2)

// One packet of a list, as a view into the list's image.
struct MIDIPacketView {
    std::uint64_t timeStamp = 0;
    const std::uint8_t* data = nullptr;
    std::uint16_t length = 0;
};

// True when the image holds its count and every packet it announces, each packet's data
// wholly inside the image. Bytes after the last packet are allowed (a list is often built in
// a larger buffer).
bool MIDIPacketListIsWellFormed(const MIDIPacketList& list);

// Walks the packets of a well-formed list in order. Construct, then call next() until false.
class MIDIPacketListReader {
public:
    explicit MIDIPacketListReader(const MIDIPacketList& list);
    std::uint32_t numPackets() const { return packetCount; }
    // False at the end of the list or when the next packet would leave the image.
    bool next(MIDIPacketView* packet);

private:
    MIDIPacketList list;
    std::uint32_t packetCount = 0;
    std::uint32_t packetsRead = 0;
    std::size_t offset = 0;
};

// Builds a packet list in a buffer the caller owns; never allocates, so the MIDI threads use it.
class MIDIPacketListWriter {
public:
    MIDIPacketListWriter(std::uint8_t* buffer, std::size_t capacity);
    // Starts an empty list again in the same buffer.
    void clear();
    // Appends one packet; false (and the list unchanged) when it does not fit.
    bool add(std::uint64_t timeStamp, const std::uint8_t* data, std::uint16_t length);
    std::uint32_t numPackets() const { return packetCount; }
    bool isEmpty() const { return packetCount == 0; }
    // Bytes still free for the data of one more packet (0 when not even a header fits).
    std::size_t dataRoom() const;
    MIDIPacketList list() const { return {buffer, used}; }

private:
    std::uint8_t* buffer;
    std::size_t capacity;
    std::size_t used = 0;
    std::uint32_t packetCount = 0;
};
