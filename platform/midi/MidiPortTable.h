// The ports a backend has created, in a fixed array that its real-time or MIDI thread can walk
// without a lock: a port is filled in completely, then published by raising the count, and never
// removed. `Slot` is the backend's own record; it must have `isInput`, `readProc` and `refCon`.
// Port handles are the slot index offset by firstPortRef, so they never collide with endpoint or
// client handles.
#pragma once

#include "MidiServices.h"

#include <array>
#include <atomic>

template <typename Slot, int capacity> class MidiPortTable {
public:
    static constexpr MIDIPortRef firstPortRef = 0x100;

    // Published ports; any thread.
    int size() const { return count.load(std::memory_order_acquire); }
    Slot& at(int index) { return slots[static_cast<std::size_t>(index)]; }
    const Slot& at(int index) const { return slots[static_cast<std::size_t>(index)]; }

    Slot* find(MIDIPortRef port) {
        if (port < firstPortRef || port - firstPortRef >= static_cast<MIDIPortRef>(size()))
            return nullptr;
        return &slots[port - firstPortRef];
    }

    // Fills the next slot with `open(slot)` (false: the native port could not be made) and
    // publishes it; readers never wait. Ports are made on the main thread, one at a time: no
    // lock is held while `open` calls into the MIDI library, whose own threads may call back
    // into the backend meanwhile, so a second creator at the same moment is refused instead.
    template <typename Open>
    MIDIStatus add(bool isInput, MIDIReadCallback readProc, void* refCon, Open open,
                   MIDIPortRef* out) {
        if (creating.test_and_set(std::memory_order_acquire))
            return midiNotPermitted;
        const int index = count.load(std::memory_order_relaxed);
        MIDIStatus status = midiInvalidPort;
        if (index < capacity) {
            Slot& slot = slots[static_cast<std::size_t>(index)];
            slot.isInput = isInput;
            slot.readProc = readProc;
            slot.refCon = refCon;
            if (open(slot)) {
                count.store(index + 1, std::memory_order_release);
                *out = firstPortRef + static_cast<MIDIPortRef>(index);
                status = midiNoError;
            }
        }
        creating.clear(std::memory_order_release);
        return status;
    }

    // Hands a packet list read on port `index` to its read callback.
    void deliver(int index, const MIDIPacketList& list) {
        Slot& slot = at(index);
        if (slot.readProc != nullptr)
            slot.readProc(&list, slot.refCon, nullptr);
    }

private:
    std::array<Slot, capacity> slots;
    std::atomic<int> count{0};
    std::atomic_flag creating = ATOMIC_FLAG_INIT;
};
