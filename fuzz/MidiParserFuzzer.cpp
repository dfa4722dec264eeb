// libFuzzer entry for the MIDI parser: any byte string, read as a packet-list image of exactly
// that size, must be refused or parsed without a read outside it. Events go to a real engine
// whose ring is emptied as it fills.
#include "Corvena_Core.h"
#include "MIDIInput.h"
#include "Zelvar_Dsp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DspObject dsp = [] {
        DspObject engine = CreateDspObject();
        DspInitialize(engine);
        return engine;
    }();
    const int posted = MIDIParsePacketList({data, size}, dsp);
    auto* engine = static_cast<Zelvar_Dsp*>(dsp);
    int drained = 0;
    while (engine->getEventBuffer()->get().eventType != EventTypeNone)
        ++drained;
    if (posted >= 0 && drained != posted)
        __builtin_trap(); // every posted event must be in the ring
    return 0;
}
