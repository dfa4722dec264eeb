// What a knob reports to: the engine parameter it is assigned to and its new value, already
// rounded to the knob's positions; and when its value readout should appear, change or go.
// The main view controller implements it, posts the parameter event and shows the readout; the
// knob only knows this interface.
#pragma once

#include "Corvena_Core.h"

class Zelvar_SimpleKnob;

class Zelvar_SimpleKnobDelegate {
public:
    virtual ~Zelvar_SimpleKnobDelegate() = default;
    virtual void dspSetParameter(ParameterType parameterType, double normalizedValue) = 0;
    // The pointer entered or left `knob`, a drag on it began or ended, or the value it shows
    // changed; `knob->showsReadout()` says whether its readout is wanted now. Main thread only.
    virtual void knobReadoutChanged(Zelvar_SimpleKnob* knob) { (void)knob; }
};
