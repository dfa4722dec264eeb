// A lock-free ring of MIDI events between exactly one writer thread and one reader thread,
// allocated once. The JACK process callback writes what its input ports received and the MIDI
// thread reads it; for MIDI thru the roles are turned round. Each record is a port number, a
// host-time stamp and the event's bytes. Neither side ever waits or allocates: a record that
// does not fit is refused whole, so a reader never sees half an event.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class MidiByteRing {
public:
    struct Record {
        std::uint8_t port = 0;
        std::uint64_t timeStamp = 0;
        std::uint16_t length = 0;
    };
    static constexpr std::size_t recordHeaderBytes = 11;

    // capacityBytes is rounded up to a power of two.
    explicit MidiByteRing(std::size_t capacityBytes);

    // Writer side. False, and nothing written, when the record does not fit.
    bool push(std::uint8_t port, std::uint64_t timeStamp, const std::uint8_t* data,
              std::uint16_t length);
    // Reader side. False when empty. A record longer than `capacity` is consumed and reported
    // with its length but no bytes copied (the caller drops it).
    bool pop(Record* record, std::uint8_t* data, std::size_t capacity);
    bool isEmpty() const;
    std::size_t capacity() const { return mask + 1; }

private:
    void copyIn(std::size_t at, const std::uint8_t* from, std::size_t n);
    void copyOut(std::size_t at, std::uint8_t* to, std::size_t n) const;

    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t mask;
    // Running byte counts; only their difference and their value modulo the size matter.
    alignas(64) std::atomic<std::size_t> writeCount{0};
    alignas(64) std::atomic<std::size_t> readCount{0};
};
