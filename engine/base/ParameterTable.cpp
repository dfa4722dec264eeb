#include "ParameterTable.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const waveformLabels[] = {"Sine", "Triangle", "Sawtooth", "Square", "Pulse", "Noise"};
const char* const switchLabels[] = {"Off", "On"};

} // namespace

// Power rows use exponent 4: most of a knob's travel then lies where the ear resolves change
// (short times, low cutoffs), and the middle cutoff position lands at 1437.5 Hz.
const ParameterDefinition parameterTable[ParameterTypeCount] = {
    {0, 0, "None", 0.0, 0.0, 0, 0.0, ParameterCurveLinear, 0.0, "none", "", nullptr},
    {1, 1, "Oscillator Waveform", 0.0, 5.0, 6, 0.0, ParameterCurveLinear, 0.0, "waveform", "",
     waveformLabels},
    {2, 2, "Oscillator Pulse Width", 0.0, 1.0, 1001, 0.5, ParameterCurveLinear, 0.0, "pulse_width",
     "", nullptr},
    {3, 3, "VCA EG Attack Time", 0.01, 10.0, 1001, 0.0, ParameterCurvePower, 4.0, "attack", "s",
     nullptr},
    {4, 4, "VCA EG Decay Time", 0.01, 10.0, 1001, 0.0, ParameterCurvePower, 4.0, "decay", "s",
     nullptr},
    {5, 5, "VCA EG Sustain Level", 0.0, 1.0, 1001, 1.0, ParameterCurvePower, 4.0, "sustain", "",
     nullptr},
    {6, 6, "VCA EG Release Time", 0.01, 10.0, 1001, 0.0, ParameterCurvePower, 4.0, "release", "s",
     nullptr},
    {7, 7, "LPF Cutoff Frequency", 200.0, 20000.0, 1001, 1.0, ParameterCurvePower, 4.0, "cutoff",
     "Hz", nullptr},
    {8, 8, "LPF Resonance", 0.7071, 10.0, 1001, 0.0, ParameterCurvePower, 4.0, "resonance", "",
     nullptr},
    {9, 9, "HPF Cutoff Frequency", 20.0, 2000.0, 1001, 0.0, ParameterCurvePower, 4.0, "hpf_cutoff",
     "Hz", nullptr},
    {10, 10, "HPF Resonance", 0.7071, 10.0, 1001, 0.0, ParameterCurvePower, 4.0, "hpf_resonance",
     "", nullptr},
    {11, 11, "VCA LFO Frequency", 0.0, 100.0, 1001, 0.0, ParameterCurvePower, 4.0, "lfo_frequency",
     "Hz", nullptr},
    {12, 12, "Portamento Time", 0.0, 10.0, 1001, 0.0, ParameterCurvePower, 4.0, "portamento", "s",
     nullptr},
    {13, 13, "Master Output Level", 0.0, 1.0, 1001, 0.8, ParameterCurvePower, 4.0, "level", "",
     nullptr},
    {14, 14, "Octave Transpose", -2.0, 2.0, 5, 0.5, ParameterCurveLinear, 0.0, "octave", "octaves",
     nullptr},
    {15, 15, "Pitch Bend", -1.0, 1.0, 1001, 0.5, ParameterCurveLinear, 0.0, "pitch_bend", "",
     nullptr},
    {16, 16, "Pitch Bend Range", 2.0, 12.0, 11, 0.0, ParameterCurveLinear, 0.0, "bend_range",
     "semitones", nullptr},
    {17, 17, "Delay Time L", 0.0, 1.0, 1001, 0.2, ParameterCurveLinear, 0.0, "delay_time_l", "s",
     nullptr},
    {18, 18, "Delay Time R", 0.0, 1.0, 1001, 0.2, ParameterCurveLinear, 0.0, "delay_time_r", "s",
     nullptr},
    {19, 19, "Delay Feedback", 0.0, 1.0, 1001, 0.5, ParameterCurveLinear, 0.0, "delay_feedback", "",
     nullptr},
    {20, 20, "Delay Mix", 0.0, 1.0, 1001, 0.0, ParameterCurveLinear, 0.0, "delay_mix", "", nullptr},
    {21, 21, "Damper", 0.0, 1.0, 2, 0.0, ParameterCurveLinear, 0.0, "damper", "", switchLabels},
    {22, 22, "Legato", 0.0, 1.0, 2, 0.0, ParameterCurveLinear, 0.0, "legato", "", switchLabels},
};

double scaleParameterValue(const ParameterDefinition& row, double x) {
    const double range = row.maxValue - row.minValue;
    if (row.curve == ParameterCurvePower)
        return row.minValue + range * std::pow(x, row.exponent);
    return row.minValue + range * x;
}

double normalizeParameterValue(const ParameterDefinition& row, double value) {
    const double range = row.maxValue - row.minValue;
    if (!(range > 0.0) || std::isnan(value))
        return 0.0;
    const double x = std::clamp((value - row.minValue) / range, 0.0, 1.0);
    if (row.curve == ParameterCurvePower)
        return std::pow(x, 1.0 / row.exponent);
    return x;
}
