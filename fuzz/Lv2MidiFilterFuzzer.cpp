// libFuzzer entry for the LV2 plugin's MIDI input: any byte string, taken as a block length and
// the body of an atom sequence exactly as long as the rest of the input, goes through
// MidiSequenceFilter, the walk that stands between a host's buffer and DPF's wrapper. The walk
// must never read past the input (AddressSanitizer), and what it hands on must be a sequence DPF
// can walk blindly: short MIDI events, in frame order, inside the block. Anything else is a
// crash for the fuzzer to keep.
#include "MidiSequenceFilter.h"

#include <lv2/atom/util.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr LV2_URID sequenceType = 1, midiType = 2, beatTime = 3;
    if (size < 4)
        return 0;
    uint32_t frames = 0;
    std::memcpy(&frames, data, 2); // up to 65535 frames
    const LV2_URID unit = data[2] % 4;
    const LV2_URID type = data[3] % 3 == 0 ? 4 : sequenceType;
    data += 4;
    size -= 4;
    // The atom header and the body, in a buffer that ends where the atom says it does.
    std::vector<uint8_t> buffer(sizeof(LV2_Atom_Sequence) + size);
    auto* input = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
    input->atom.size = uint32_t(sizeof(LV2_Atom_Sequence_Body) + size);
    input->atom.type = type;
    input->body.unit = unit;
    std::memcpy(buffer.data() + sizeof(LV2_Atom_Sequence), data, size);

    static MidiSequenceFilter filter(sequenceType, midiType, beatTime);
    const LV2_Atom_Sequence* out = filter.filter(input, frames);
    int64_t last = 0;
    uint32_t count = 0;
    LV2_ATOM_SEQUENCE_FOREACH(out, event) {
        if (event->body.type != midiType ||
            event->body.size > MidiSequenceFilter::maxMessageBytes || event->time.frames < last ||
            event->time.frames >= int64_t(frames) || ++count > MidiSequenceFilter::capacity)
            __builtin_trap();
        last = event->time.frames;
    }
    return 0;
}
