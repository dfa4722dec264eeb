// The clients and ports a backend has created: what every backend keeps alike, so that each
// keeps only its native side. The program's clients all share the backend's one native client
// (one "Corvena" in patchbays), so a client is only a number handed out here. Ports sit in a
// fixed array that a real-time or MIDI thread walks without a lock: a port is filled in
// completely, then published by raising the count, and never removed. `Native` is the
// backend's own part of a port (its library's handle); a Port is one with the direction, the
// read callback and its argument added. Port handles are the slot index offset by firstPortRef,
// so they never collide with endpoint or client handles.
#pragma once

#include "MidiServices.h"

#include <array>
#include <atomic>
#include <cstdint>

template <typename Native, int capacity> class MidiPortTable {
public:
    static constexpr MIDIPortRef firstPortRef = 0x100;
    static constexpr std::size_t packetListBytes = 4096;

    struct Port : Native {
        bool isInput = false;
        MIDIReadCallback readProc = nullptr;
        void* refCon = nullptr;
    };

    // Any thread.
    MIDIStatus addClient(MIDIClientRef* out) {
        *out = nextClient.fetch_add(1, std::memory_order_relaxed);
        return midiNoError;
    }
    bool hasClient(MIDIClientRef client) const {
        return client != 0 && client < nextClient.load(std::memory_order_relaxed);
    }

    // Published ports; any thread.
    int size() const { return count.load(std::memory_order_acquire); }
    Port& at(int index) { return ports[static_cast<std::size_t>(index)]; }
    const Port& at(int index) const { return ports[static_cast<std::size_t>(index)]; }

    // The port behind a handle: of either direction, an input port, an output port; nullptr
    // when the handle names no such port.
    Port* find(MIDIPortRef port) {
        if (port < firstPortRef || port - firstPortRef >= static_cast<MIDIPortRef>(size()))
            return nullptr;
        return &ports[port - firstPortRef];
    }
    Port* input(MIDIPortRef port) {
        Port* found = find(port);
        return found != nullptr && found->isInput ? found : nullptr;
    }
    Port* output(MIDIPortRef port) {
        Port* found = find(port);
        return found != nullptr && !found->isInput ? found : nullptr;
    }

    // Fills the next slot with `open(native part)` (false: the native port could not be made)
    // and publishes it; readers never wait. Ports are made on the main thread, one at a time: no
    // lock is held while `open` calls into the MIDI library, whose own threads may call back
    // into the backend meanwhile, so a second creator at the same moment is refused instead.
    template <typename Open>
    MIDIStatus add(MIDIClientRef client, bool isInput, MIDIReadCallback readProc, void* refCon,
                   Open open, MIDIPortRef* out) {
        if (!hasClient(client))
            return midiInvalidClient;
        if (creating.test_and_set(std::memory_order_acquire))
            return midiNotPermitted;
        const int index = count.load(std::memory_order_relaxed);
        MIDIStatus status = midiInvalidPort;
        if (index < capacity) {
            Port& port = ports[static_cast<std::size_t>(index)];
            port.isInput = isInput;
            port.readProc = readProc;
            port.refCon = refCon;
            if (open(static_cast<Native&>(port))) {
                count.store(index + 1, std::memory_order_release);
                *out = firstPortRef + static_cast<MIDIPortRef>(index);
                status = midiNoError;
            }
        }
        creating.clear(std::memory_order_release);
        return status;
    }

    // The MIDI thread's packet lists: messages read in a row for one port share a list, which
    // goes to that port's read callback when a message for another port comes, when it is
    // full, and at flush(). The buffer is the thread's own, allocated once with it.
    class Delivery {
    public:
        explicit Delivery(MidiPortTable& table)
            : table(table), writer(buffer.data(), buffer.size()) {}
        Delivery(const Delivery&) = delete;
        Delivery& operator=(const Delivery&) = delete;

        void add(int index, std::uint64_t timeStamp, const std::uint8_t* data,
                 std::uint16_t length) {
            if (index != listPort || writer.dataRoom() < length) {
                flush();
                listPort = index;
            }
            writer.add(timeStamp, data, length);
        }
        void flush() {
            if (listPort >= 0 && !writer.isEmpty()) {
                Port& port = table.at(listPort);
                if (port.readProc != nullptr) {
                    const MIDIPacketList list = writer.list();
                    port.readProc(&list, port.refCon, nullptr);
                }
            }
            writer.clear();
            listPort = -1;
        }

    private:
        MidiPortTable& table;
        std::array<std::uint8_t, packetListBytes> buffer{};
        MIDIPacketListWriter writer;
        int listPort = -1;
    };

private:
    std::array<Port, capacity> ports;
    std::atomic<int> count{0};
    std::atomic_flag creating = ATOMIC_FLAG_INIT;
    std::atomic<MIDIClientRef> nextClient{1};
};
