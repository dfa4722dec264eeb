#include "MidiPacketList.h"

#include <cstring>

namespace {

std::uint32_t readCount(const MIDIPacketList& list) {
    std::uint32_t count = 0;
    if (list.bytes != nullptr && list.size >= midiPacketListHeaderBytes)
        std::memcpy(&count, list.bytes, sizeof count);
    return count;
}

} // namespace

bool MIDIPacketListIsWellFormed(const MIDIPacketList& list) {
    if (list.bytes == nullptr || list.size < midiPacketListHeaderBytes)
        return false;
    MIDIPacketListReader reader(list);
    MIDIPacketView packet;
    std::uint32_t seen = 0;
    while (reader.next(&packet))
        ++seen;
    return seen == reader.numPackets();
}

MIDIPacketListReader::MIDIPacketListReader(const MIDIPacketList& list)
    : list(list), packetCount(readCount(list)), offset(midiPacketListHeaderBytes) {}

bool MIDIPacketListReader::next(MIDIPacketView* packet) {
    if (packetsRead >= packetCount || offset > list.size)
        return false;
    const std::size_t remaining = list.size - offset;
    if (remaining < midiPacketHeaderBytes)
        return false;
    const std::uint8_t* header = list.bytes + offset;
    std::uint16_t length = 0;
    std::memcpy(&packet->timeStamp, header, sizeof packet->timeStamp);
    std::memcpy(&length, header + sizeof packet->timeStamp, sizeof length);
    if (remaining - midiPacketHeaderBytes < length)
        return false;
    packet->length = length;
    packet->data = header + midiPacketHeaderBytes;
    offset += midiPacketHeaderBytes + length;
    ++packetsRead;
    return true;
}

MIDIPacketListWriter::MIDIPacketListWriter(std::uint8_t* buffer, std::size_t capacity)
    : buffer(buffer), capacity(capacity) {
    clear();
}

void MIDIPacketListWriter::clear() {
    packetCount = 0;
    used = 0;
    if (capacity >= midiPacketListHeaderBytes) {
        std::memcpy(buffer, &packetCount, sizeof packetCount);
        used = midiPacketListHeaderBytes;
    }
}

std::size_t MIDIPacketListWriter::dataRoom() const {
    if (used + midiPacketHeaderBytes > capacity)
        return 0;
    return capacity - used - midiPacketHeaderBytes;
}

bool MIDIPacketListWriter::add(std::uint64_t timeStamp, const std::uint8_t* data,
                               std::uint16_t length) {
    if (used < midiPacketListHeaderBytes || used + midiPacketHeaderBytes + length > capacity)
        return false;
    std::uint8_t* header = buffer + used;
    std::memcpy(header, &timeStamp, sizeof timeStamp);
    std::memcpy(header + sizeof timeStamp, &length, sizeof length);
    if (length > 0)
        std::memcpy(header + midiPacketHeaderBytes, data, length);
    used += midiPacketHeaderBytes + length;
    ++packetCount;
    std::memcpy(buffer, &packetCount, sizeof packetCount);
    return true;
}
