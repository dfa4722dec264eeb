// What a knob reports to: the engine parameter it is assigned to and its new value, already
// rounded to the knob's positions. The main view controller implements it and posts the
// parameter event; the knob only knows this interface.
#pragma once

#include "Corvena_Core.h"

class Zelvar_SimpleKnobDelegate {
public:
    virtual ~Zelvar_SimpleKnobDelegate() = default;
    virtual void dspSetParameter(ParameterType parameterType, double normalizedValue) = 0;
};
