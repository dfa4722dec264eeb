// Puts an event straight into a given event buffer, with no time stamp and no parameter
// conversion: value1 of a parameter event becomes the engine value as it stands.
#include "Corvena_Core.h"
#include "DspEventBuilder.h"
#include "Zelvar_EventBuffer.h"

extern "C" void SetEventToSubBuffer(void* eventBuffer, EventSubType subType,
                                    ParameterType parameterType, double value1, double value2,
                                    double value3) {
    if (eventBuffer == nullptr)
        return;
    const AudioTimeStamp unstamped{};
    static_cast<Zelvar_EventBuffer*>(eventBuffer)
        ->set(makeDspEvent(unstamped, EventTypeSynth, subType, parameterType, value1, value2,
                           value3));
}
