// The constant description of the 23 synthesizer parameters: names, ranges, steps, defaults and
// curves. The single source for the engine and for anything that shows or scales a parameter.
#pragma once

#include "Corvena_Core.h"

enum ParameterCurve {
    ParameterCurveLinear = 0,
    ParameterCurveLinearAlias = 1,
    ParameterCurvePower = 2
};
static_assert(int(ParameterCurveLinear) == int(DspParameterCurveLinear) &&
                  int(ParameterCurvePower) == int(DspParameterCurvePower),
              "hosts read the curve through the C interface's names");

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
    // For hosts that store and show values: a stable identifier (saved in users' projects, so
    // never renamed), the unit of the scaled value, and names for switch positions.
    const char* symbol;
    const char* unit;
    const char* const* valueLabels; // `steps` names, or null when the values are numbers
};

extern const ParameterDefinition parameterTable[ParameterTypeCount];

inline bool isValidParameterType(int type) {
    return type >= 0 && type < ParameterTypeCount;
}

// The curve of a row: the scaled value of a normalized position, and back. Hosts and the
// parameter manager share these so that a value converts the same way everywhere.
double scaleParameterValue(const ParameterDefinition& row, double normalized);
double normalizeParameterValue(const ParameterDefinition& row, double scaled);
