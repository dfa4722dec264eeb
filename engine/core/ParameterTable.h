// The constant description of the 23 synthesizer parameters: names, ranges, steps, defaults and
// curves. The single source for the engine and for anything that shows or scales a parameter.
#pragma once

#include "Corvena_Core.h"

enum ParameterCurve {
    ParameterCurveLinear = 0,
    ParameterCurveLinearAlias = 1,
    ParameterCurvePower = 2
};

struct ParameterDefinition {
    int index;
    int type;
    const char* name;
    double minValue;
    double maxValue;
    int steps;
    double defaultNormalizedValue;
    int curve;
    double exponent;
};

extern const ParameterDefinition parameterTable[ParameterTypeCount];

inline bool isValidParameterType(int type) {
    return type >= 0 && type < ParameterTypeCount;
}
