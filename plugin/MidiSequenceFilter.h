// The host's MIDI atom sequence made safe for DPF's LV2 wrapper, which walks it trusting every
// size (an event whose body runs past the sequence is read past the buffer, a null port is
// dereferenced, the sequence's type and time unit are never looked at) and hands each event's
// frame on as given. This walks the host's sequence by the format's own rules and writes, into
// a buffer of its own reserved at construction, a sequence DPF can walk blindly:
//
// - the walk compares pointers against the end the atom's size gives, and stops at the first
//   event whose header or body does not fit (the last event may lack its padding; `pad` is
//   never read);
// - times are frames unless the sequence says beats (the unit a host may leave 0 means frames),
//   and an event in beats is held to the previous event's frame, having no frame of its own;
// - an event before the block is taken as its start, one earlier than the event before it is
//   held to that one's frame (the engine takes its events in order), one stamped at the block's
//   length (where hosts put what a plugin's window sends) is taken on its last frame, and one
//   past that ends the walk;
// - only MIDI events of at most maxMessageBytes (every channel message) are kept, up to
//   capacity events; a null port, another atom type or a truncated sequence give none.
//
// filter() runs on the audio thread: no allocation, no lock.
#pragma once

#include "lv2/atom/atom.h"
#include "lv2/urid/urid.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class MidiSequenceFilter {
public:
    static constexpr uint32_t capacity = 512; // what DPF's wrapper takes in one block
    static constexpr uint32_t maxMessageBytes = 8;

    MidiSequenceFilter(LV2_URID sequenceType, LV2_URID midiEventType, LV2_URID beatTimeUnit);

    // The clean sequence for one block of `frames`; valid until the next call.
    const LV2_Atom_Sequence* filter(const LV2_Atom_Sequence* input, uint32_t frames);
    const LV2_Atom_Sequence* output() const;
    uint32_t eventCount() const { return events; }

private:
    void append(int64_t frame, const uint8_t* bytes, uint32_t size);

    LV2_URID sequenceType;
    LV2_URID midiEventType;
    LV2_URID beatTimeUnit;
    std::vector<uint64_t> buffer; // 8-byte aligned, as atoms are
    uint32_t events = 0;
};
