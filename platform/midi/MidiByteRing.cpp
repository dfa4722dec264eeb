#include "MidiByteRing.h"

#include <cstring>

namespace {

std::size_t roundUpToPowerOfTwo(std::size_t n) {
    std::size_t size = 64;
    while (size < n)
        size <<= 1;
    return size;
}

} // namespace

MidiByteRing::MidiByteRing(std::size_t capacityBytes)
    : bytes(new std::uint8_t[roundUpToPowerOfTwo(capacityBytes)]()),
      mask(roundUpToPowerOfTwo(capacityBytes) - 1) {}

bool MidiByteRing::push(std::uint8_t port, std::uint64_t timeStamp, const std::uint8_t* data,
                        std::uint16_t length) {
    const std::size_t write = writeCount.load(std::memory_order_relaxed);
    const std::size_t read = readCount.load(std::memory_order_acquire);
    const std::size_t needed = recordHeaderBytes + length;
    if (capacity() - (write - read) < needed)
        return false;
    std::uint8_t header[recordHeaderBytes];
    header[0] = port;
    std::memcpy(header + 1, &timeStamp, sizeof timeStamp);
    std::memcpy(header + 9, &length, sizeof length);
    copyIn(write, header, recordHeaderBytes);
    copyIn(write + recordHeaderBytes, data, length);
    writeCount.store(write + needed, std::memory_order_release);
    return true;
}

bool MidiByteRing::pop(Record* record, std::uint8_t* data, std::size_t dataCapacity) {
    const std::size_t read = readCount.load(std::memory_order_relaxed);
    const std::size_t write = writeCount.load(std::memory_order_acquire);
    if (write - read < recordHeaderBytes)
        return false;
    std::uint8_t header[recordHeaderBytes];
    copyOut(read, header, recordHeaderBytes);
    record->port = header[0];
    std::memcpy(&record->timeStamp, header + 1, sizeof record->timeStamp);
    std::memcpy(&record->length, header + 9, sizeof record->length);
    if (record->length <= dataCapacity)
        copyOut(read + recordHeaderBytes, data, record->length);
    readCount.store(read + recordHeaderBytes + record->length, std::memory_order_release);
    return true;
}

bool MidiByteRing::isEmpty() const {
    return writeCount.load(std::memory_order_acquire) == readCount.load(std::memory_order_relaxed);
}

void MidiByteRing::copyIn(std::size_t at, const std::uint8_t* from, std::size_t n) {
    const std::size_t start = at & mask;
    const std::size_t first = n < capacity() - start ? n : capacity() - start;
    if (first > 0)
        std::memcpy(bytes.get() + start, from, first);
    if (n > first)
        std::memcpy(bytes.get(), from + first, n - first);
}

void MidiByteRing::copyOut(std::size_t at, std::uint8_t* to, std::size_t n) const {
    const std::size_t start = at & mask;
    const std::size_t first = n < capacity() - start ? n : capacity() - start;
    if (first > 0)
        std::memcpy(to, bytes.get() + start, first);
    if (n > first)
        std::memcpy(to + first, bytes.get(), n - first);
}
