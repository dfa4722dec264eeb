// For the MIDI host's tests: an engine whose main event ring the tests read back (what the
// parser posted, in order).
#pragma once

#include "Corvena_Core.h"
#include "Zelvar_Dsp.h"

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
