// Helpers for the MIDI tests: an engine whose main event ring the tests read back (what the
// parser posted, in order), and packet-list images built from plain byte vectors.
#pragma once

#include "Corvena_Core.h"
#include "MidiPacketList.h"
#include "Zelvar_Dsp.h"

#include <cstdint>
#include <vector>

// A real engine, initialised, never rendering: events posted to it stay in its main ring
// until drain() takes them out (the test thread is the ring's one reader).
class EngineUnderTest {
public:
    EngineUnderTest() : dsp(CreateDspObject()) { DspInitialize(dsp); }
    ~EngineUnderTest() { ReleaseDspObject(dsp); }
    EngineUnderTest(const EngineUnderTest&) = delete;
    EngineUnderTest& operator=(const EngineUnderTest&) = delete;

    DspObject handle() const { return dsp; }

    std::vector<DspEvent> drain() {
        std::vector<DspEvent> events;
        auto* engine = static_cast<Zelvar_Dsp*>(dsp);
        for (DspEvent e = engine->getEventBuffer()->get(); e.eventType != EventTypeNone;
             e = engine->getEventBuffer()->get())
            events.push_back(e);
        return events;
    }

private:
    DspObject dsp;
};

using Bytes = std::vector<std::uint8_t>;

// The image of a packet list holding one packet per entry, time stamps 1, 2, 3, ...
inline Bytes packetListImage(const std::vector<Bytes>& packets) {
    std::size_t size = midiPacketListHeaderBytes;
    for (const Bytes& p : packets)
        size += midiPacketHeaderBytes + p.size();
    Bytes image(size);
    MIDIPacketListWriter writer(image.data(), image.size());
    std::uint64_t stamp = 1;
    for (const Bytes& p : packets)
        writer.add(stamp++, p.data(), static_cast<std::uint16_t>(p.size()));
    return image;
}

inline MIDIPacketList view(const Bytes& image) {
    return {image.data(), image.size()};
}
