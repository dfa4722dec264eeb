// An engine event at a sample time, with the fields the render tests leave at zero filled in.
#pragma once

#include "DspEventBuilder.h"

#include <cstdint>

inline DspEvent stampedEvent(uint64_t stamp, EventType type, EventSubType subType,
                             ParameterType parameter, double value1, double value2 = 0.0,
                             int eventId = 0, int tick = 0) {
    AudioTimeStamp at{};
    at.mSampleTime = double(stamp);
    return makeDspEvent(at, type, subType, parameter, value1, value2, 0.0, eventId, tick);
}
