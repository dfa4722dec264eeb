// A parameter's value as people read it, for the knobs' readouts: the parameter's display name,
// then its value in its unit — "LPF Cutoff Frequency 1.25 kHz", "VCA EG Attack Time 35 ms",
// "Oscillator Waveform Sawtooth", "Octave Transpose +1".
//
// Everything about the parameter comes from the engine's parameter table through the C
// interface (DspGetParameterDescription, DspGetScaledValue): name, unit, position names, range,
// number of steps and curve. The value shown is the one the engine will use for a posted
// normalized value: snapped to the parameter's steps as the engine snaps it, then scaled.
//
// Numbers keep three significant digits without trailing zeros and never use exponents.
// Frequencies of 1 kHz and more are shown in kHz, times under a second in ms. A value below
// 0.001 that is not zero reads "< 0.001" (in the unit shown), where more digits would say
// nothing a listener hears. Parameters that reach below zero show a "+" on positive values.
// Counted units ("octaves", "semitones") agree in number with the value and are left out where
// the name already says them ("Octave Transpose +1").
#pragma once

#include "Corvena_Core.h"

#include <cstdint>
#include <string>

class ParameterReadout {
public:
    // Name and value; empty for a parameter type outside the table.
    static std::string text(ParameterType type, double normalizedValue);
    // The value alone, with its unit.
    static std::string valueText(ParameterType type, double normalizedValue);

    // `normalizedValue` on the nearest of `steps` evenly spaced positions, halves away from
    // zero, as the engine stores a posted value; a parameter of fewer than two steps keeps it.
    static double snapped(int32_t steps, double normalizedValue);
    // A number for people: three significant digits, trailing zeros dropped, no exponent,
    // "+" before a positive number on request, "< 0.001" for tiny non-zero magnitudes.
    static std::string formatNumber(double value, bool signed_);
};
