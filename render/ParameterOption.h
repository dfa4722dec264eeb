// The command line's view of the engine's parameter table: `--set NAME=VALUE` and
// `--list-parameters`. Every name, symbol, range, unit, default and position name comes from
// the table through the engine's C interface; nothing here repeats one.
//
// NAME is a parameter's display name ("LPF Cutoff Frequency") or its symbol ("cutoff"), in any
// letter case. VALUE is a number in the parameter's own unit (hertz, seconds, octaves, ...) within
// its range, or, for a parameter whose positions have names, one of those names ("Sawtooth").
#pragma once

#include "Corvena_Core.h"

#include <string>

struct ParameterSetting {
    ParameterType type = ParameterTypeNone;
    double value = 0.0;      // in the parameter's unit, as given
    double normalized = 0.0; // the position the engine is sent
};

class ParameterOption {
public:
    // "NAME=VALUE"; on failure returns false with `error` saying why.
    static bool parse(const std::string& text, ParameterSetting& setting, std::string& error);

    // One line per parameter: name, symbol, range with unit, default (and position names).
    static std::string listing();

    // The row whose display name or symbol is `name`, ignoring case; ParameterTypeNone if none.
    static ParameterType find(const std::string& name);

    // A finite decimal number, the whole of `text`, with an optional sign.
    static bool parseNumber(const std::string& text, double& value);
};
