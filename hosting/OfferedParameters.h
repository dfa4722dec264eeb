// The parameters of the engine's table that hosts other than the program offer their users: all
// but "None" and "VCA LFO Frequency", which the engine stores and reports but no unit reads. A
// control that changes nothing looks broken, so the plugin publishes no port for it and the
// renderer neither lists nor takes it; the parameter itself stays in the table as designed.
#pragma once

#include "Corvena_Core.h"

class OfferedParameters {
public:
    static bool offers(ParameterType type);
    // For a parameter the table has but hosts do not offer: why, in a few words.
    static const char* whyNotOffered(ParameterType type);
};
