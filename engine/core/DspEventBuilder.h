// The one place an event record is filled. Every byte is set (the reserved field and anything
// a road does not use are zero), so a record reads the same whichever road posted it: the
// engine's posting functions, sequencer commands, or SetEventToSubBuffer with no stamp at all.
#pragma once

#include "Corvena_Core.h"

#include <cstring>

inline DspEvent makeDspEvent(const AudioTimeStamp& timeStamp, EventType eventType,
                             EventSubType subType, ParameterType parameterType, double value1,
                             double value2, double value3, int32_t eventId = 0, int32_t tick = 0) {
    DspEvent event;
    std::memset(&event, 0, sizeof event);
    event.timeStamp = timeStamp;
    event.eventType = eventType;
    event.subType = subType;
    event.parameterType = parameterType;
    event.value1 = value1;
    event.value2 = value2;
    event.value3 = value3;
    event.eventId = eventId;
    event.tick = tick;
    return event;
}
