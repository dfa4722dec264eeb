// The plugin's LV2 ports by index, in the order DPF's LV2 wrapper connects them: the two audio
// outputs, the MIDI input, the latency output, then one control input for every parameter of
// the engine's table except "None", "Pitch Bend" (which comes from MIDI) and "VCA LFO
// Frequency" (which no unit reads), in table order. DPF's parameter i is control port
// firstControl + i, in every format. The generated description, the plugin and its LV2 entry
// all read the layout from here, so they cannot disagree. Hosts save controls by symbol; new
// parameters only ever add ports at the end.
#pragma once

#include "Corvena_Core.h"

#include <cstdint>

class PortMap {
public:
    static constexpr uint32_t leftOutput = 0;
    static constexpr uint32_t rightOutput = 1;
    static constexpr uint32_t midiInput = 2;
    static constexpr uint32_t latencyOutput = 3;
    static constexpr uint32_t firstControl = 4;

    static bool hasControl(ParameterType type);
    static uint32_t controlCount();
    static uint32_t portCount() { return firstControl + controlCount(); }
    // The parameter a control port carries; ParameterTypeNone for every other index.
    static ParameterType parameterOf(uint32_t port);

    // How hosts are to show a row of the table: a toggle (two steps), whole numbers from min to
    // max (a switch, an enumeration when it has labels), or a continuous value, spread
    // logarithmically when its power curve starts above zero (from zero no logarithm is
    // defined). Read by the LV2 description and the DPF plugin alike.
    static bool isToggle(const ParameterDescription& row);
    static bool isWholeNumbers(const ParameterDescription& row);
    static bool isLogarithmic(const ParameterDescription& row);
};
