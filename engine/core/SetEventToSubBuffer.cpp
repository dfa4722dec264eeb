// Puts an event straight into a given event buffer, with no time stamp and no parameter
// conversion: value1 of a parameter event becomes the engine value as it stands.
#include "Corvena_Core.h"
#include "Zelvar_EventBuffer.h"

#include <cstring>

extern "C" void SetEventToSubBuffer(void* eventBuffer, EventSubType subType,
                                    ParameterType parameterType, double value1, double value2,
                                    double value3) {
    if (eventBuffer == nullptr)
        return;
    DspEvent event;
    std::memset(&event, 0, sizeof event);
    event.eventType = EventTypeSynth;
    event.subType = subType;
    event.parameterType = parameterType;
    event.value1 = value1;
    event.value2 = value2;
    event.value3 = value3;
    static_cast<Zelvar_EventBuffer*>(eventBuffer)->set(event);
}
