// The factory bank: named sounds made of values for the engine's existing parameters, one table
// that every deliverable reads. The LV2 description generator writes each row as a pset:Preset
// and checks every value against the engine's parameter table at build time (range, enumeration
// steps, every control set); the renderer applies a row with --preset. A plugin framework with
// numbered programs reads it as it stands: a program's name is label(at(i)) and loading it sets
// each parameter to value(at(i), type).
//
// A row gives a value for every control the plugin publishes, in the parameter's own unit (the
// unit the table, the ports and --set use), so a preset never inherits what the one before it
// left. Not part of a preset: "Pitch Bend" (the player's, from MIDI) and "VCA LFO Frequency"
// (stored by the engine, read by nothing). "Init" alone is written as the engine's defaults and
// takes them from the table.
#pragma once

#include "Corvena_Core.h"

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

struct PresetControls {
    static constexpr double unset = std::numeric_limits<double>::quiet_NaN();

    bool engineDefaults = false;    // every value from the table's defaults ("Init")
    const char* waveform = nullptr; // one of the table's position names ("Sawtooth")
    double pulseWidth = unset;
    double attackSeconds = unset;
    double decaySeconds = unset;
    double sustainLevel = unset;
    double releaseSeconds = unset;
    double cutoffHz = unset;
    double resonance = unset;
    double hpfCutoffHz = unset;
    double hpfResonance = unset;
    double portamentoSeconds = unset;
    double level = unset;
    double octave = unset;
    double bendRangeSemitones = unset;
    double delayLeftSeconds = unset;
    double delayRightSeconds = unset;
    double delayFeedback = unset;
    double delayMix = unset;
    double damper = unset;
    double legato = unset;
};

struct FactoryPreset {
    const char* category; // "Bass", "Pad", ...
    const char* name;     // unique in the bank, ignoring case
    PresetControls controls;
};

class FactoryPresets {
public:
    static size_t count();
    static const FactoryPreset& at(size_t index);

    // Whether a preset carries a value for the parameter: every row of the table but "None",
    // "Pitch Bend" and "VCA LFO Frequency".
    static bool covers(ParameterType type);

    // The preset's value for the parameter, in its unit; NaN for a parameter it does not cover,
    // a value the row leaves unset, or a waveform name the table does not know.
    static double value(const FactoryPreset& preset, ParameterType type);

    // "Category: Name", as hosts list it; "Init" alone for the row whose name is its category.
    static std::string label(const FactoryPreset& preset);

    // The preset a user means by `text`: its name or label in any letter case, else the one
    // preset whose name or label starts with it. Null when none or several match; `error` then
    // says which.
    static const FactoryPreset* find(std::string_view text, std::string& error);
};
