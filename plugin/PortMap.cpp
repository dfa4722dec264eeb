#include "PortMap.h"

#include "OfferedParameters.h"

bool PortMap::hasControl(ParameterType type) {
    // Pitch bend comes from MIDI.
    return OfferedParameters::offers(type) && type != ParameterTypePitchBend;
}

uint32_t PortMap::controlCount() {
    uint32_t count = 0;
    for (ParameterType type = 0; type < ParameterTypeCount; ++type)
        count += hasControl(type) ? 1 : 0;
    return count;
}

ParameterType PortMap::parameterOf(uint32_t port) {
    if (port < firstControl)
        return ParameterTypeNone;
    uint32_t index = firstControl;
    for (ParameterType type = 0; type < ParameterTypeCount; ++type) {
        if (!hasControl(type))
            continue;
        if (index == port)
            return type;
        ++index;
    }
    return ParameterTypeNone;
}

bool PortMap::isToggle(const ParameterDescription& row) {
    return row.steps == 2;
}

bool PortMap::isWholeNumbers(const ParameterDescription& row) {
    return row.curve != DspParameterCurvePower && row.steps > 2 &&
           row.maxValue - row.minValue == double(row.steps - 1);
}

bool PortMap::isLogarithmic(const ParameterDescription& row) {
    return !isToggle(row) && !isWholeNumbers(row) && row.curve == DspParameterCurvePower &&
           row.minValue > 0.0;
}
