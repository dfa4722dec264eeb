#include "ParameterTable.h"

// Power rows use exponent 4: most of a knob's travel then lies where the ear resolves change
// (short times, low cutoffs), and the middle cutoff position lands at 1437.5 Hz.
const ParameterDefinition parameterTable[ParameterTypeCount] = {
    {0, 0, "None", 0.0, 0.0, 0, 0.0, ParameterCurveLinear, 0.0},
    {1, 1, "Oscillator Waveform", 0.0, 5.0, 6, 0.0, ParameterCurveLinear, 0.0},
    {2, 2, "Oscillator Pulse Width", 0.0, 1.0, 1001, 0.5, ParameterCurveLinear, 0.0},
    {3, 3, "VCA EG Attack Time", 0.01, 10.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {4, 4, "VCA EG Decay Time", 0.01, 10.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {5, 5, "VCA EG Sustain Level", 0.0, 1.0, 1001, 1.0, ParameterCurvePower, 4.0},
    {6, 6, "VCA EG Release Time", 0.01, 10.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {7, 7, "LPF Cutoff Frequency", 200.0, 20000.0, 1001, 1.0, ParameterCurvePower, 4.0},
    {8, 8, "LPF Resonance", 0.7071, 10.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {9, 9, "HPF Cutoff Frequency", 20.0, 2000.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {10, 10, "HPF Resonance", 0.7071, 10.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {11, 11, "VCA LFO Frequency", 0.0, 100.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {12, 12, "Portamento Time", 0.0, 10.0, 1001, 0.0, ParameterCurvePower, 4.0},
    {13, 13, "Master Output Level", 0.0, 1.0, 1001, 0.8, ParameterCurvePower, 4.0},
    {14, 14, "Octave Transpose", -2.0, 2.0, 5, 0.5, ParameterCurveLinear, 0.0},
    {15, 15, "Pitch Bend", -1.0, 1.0, 1001, 0.5, ParameterCurveLinear, 0.0},
    {16, 16, "Pitch Bend Range", 2.0, 12.0, 11, 0.0, ParameterCurveLinear, 0.0},
    {17, 17, "Delay Time L", 0.0, 1.0, 1001, 0.2, ParameterCurveLinear, 0.0},
    {18, 18, "Delay Time R", 0.0, 1.0, 1001, 0.2, ParameterCurveLinear, 0.0},
    {19, 19, "Delay Feedback", 0.0, 1.0, 1001, 0.5, ParameterCurveLinear, 0.0},
    {20, 20, "Delay Mix", 0.0, 1.0, 1001, 0.0, ParameterCurveLinear, 0.0},
    {21, 21, "Damper", 0.0, 1.0, 2, 0.0, ParameterCurveLinear, 0.0},
    {22, 22, "Legato", 0.0, 1.0, 2, 0.0, ParameterCurveLinear, 0.0},
};
