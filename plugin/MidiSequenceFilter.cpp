#include "MidiSequenceFilter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t eventBytes(uint32_t payload) {
    return sizeof(LV2_Atom_Event) + ((size_t(payload) + 7) & ~size_t(7));
}

} // namespace

MidiSequenceFilter::MidiSequenceFilter(LV2_URID sequenceType, LV2_URID midiEventType,
                                       LV2_URID beatTimeUnit)
    : sequenceType(sequenceType), midiEventType(midiEventType), beatTimeUnit(beatTimeUnit),
      buffer((sizeof(LV2_Atom_Sequence) + capacity * eventBytes(maxMessageBytes)) /
             sizeof(uint64_t)) {
    filter(nullptr, 0);
}

const LV2_Atom_Sequence* MidiSequenceFilter::output() const {
    return reinterpret_cast<const LV2_Atom_Sequence*>(buffer.data());
}

void MidiSequenceFilter::append(int64_t frame, const uint8_t* bytes, uint32_t size) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
    auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<uint8_t*>(&sequence->body) +
                                                    sequence->atom.size);
    event->time.frames = frame;
    event->body.size = size;
    event->body.type = midiEventType;
    std::memcpy(event + 1, bytes, size);
    sequence->atom.size += uint32_t(eventBytes(size));
    ++events;
}

const LV2_Atom_Sequence* MidiSequenceFilter::filter(const LV2_Atom_Sequence* input,
                                                    uint32_t frames) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
    sequence->atom.type = sequenceType;
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->body.unit = 0;
    sequence->body.pad = 0;
    events = 0;
    if (input == nullptr || input->atom.type != sequenceType ||
        input->atom.size < sizeof(LV2_Atom_Sequence_Body))
        return sequence;

    const bool inBeats = input->body.unit != 0 && input->body.unit == beatTimeUnit;
    const auto* cursor = reinterpret_cast<const uint8_t*>(&input->body + 1);
    const uint8_t* const end = reinterpret_cast<const uint8_t*>(&input->body) + input->atom.size;
    int64_t lastFrame = 0;
    while (cursor < end) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(cursor);
        const auto* payload = reinterpret_cast<const uint8_t*>(event + 1);
        // Both differences are taken only once the pointer compared below the end.
        if (size_t(end - cursor) < sizeof(LV2_Atom_Event) ||
            size_t(event->body.size) > size_t(end - payload))
            break;
        int64_t frame = inBeats ? lastFrame : std::max(event->time.frames, lastFrame);
        // Hosts stamp what a plugin's window sends at the block's length (jalv does): such an
        // event is taken on the block's last frame. Past that, this and every later one are
        // skipped.
        if (frame > int64_t(frames) || frames == 0)
            break;
        frame = std::min(frame, int64_t(frames) - 1);
        lastFrame = frame;
        if (event->body.type == midiEventType && event->body.size <= maxMessageBytes &&
            events < capacity)
            append(frame, payload, event->body.size);
        // The last event's padding may be missing: the walk ends when this passes the end.
        const size_t step = eventBytes(event->body.size);
        if (step >= size_t(end - cursor))
            break;
        cursor += step;
    }
    return sequence;
}
