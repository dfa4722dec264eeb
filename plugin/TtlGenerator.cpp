// Build-time generator of the plugin bundle's description: manifest.ttl, the plugin's .ttl and
// the factory presets' .ttl.
//
// Every control port is written from the engine's parameter table, read through the C
// interface (DspGetParameterDescription): name, symbol, unit, range, default, steps and curve.
// Nothing here types a range or a default. The factory bank (hosting/FactoryPresets) is checked
// against the same table before anything is written: a preset that leaves a port without a
// value, gives one outside the range, or puts a stepped control between its steps fails the
// build, naming the preset and the port. Usage: corvena_lv2_ttl OUTPUT_DIRECTORY MINOR MICRO
// (the plugin's version, which hosts compare to offer updates).
#include "Corvena_Core.h"
#include "FactoryPresets.h"
#include "PluginIdentity.h"
#include "PortMap.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// The shortest text that reads back as the same double: a range or default survives the trip
// through the file bit for bit.
std::string number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\')
            out += '\\';
        out += *c;
    }
    return out + "\"";
}

const char* unitResource(const char* unit) {
    if (std::strcmp(unit, "Hz") == 0)
        return "units:hz";
    if (std::strcmp(unit, "s") == 0)
        return "units:s";
    if (std::strcmp(unit, "octaves") == 0)
        return "units:oct";
    if (std::strcmp(unit, "semitones") == 0)
        return "units:semitone12TET";
    return nullptr;
}

void writeControlPort(std::ostream& out, uint32_t index, const ParameterDescription& p) {
    out << "        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << quoted(p.symbol) << " ;\n"
        << "        lv2:name " << quoted(p.name) << " ;\n"
        << "        lv2:default " << number(p.defaultValue) << " ;\n"
        << "        lv2:minimum " << number(p.minValue) << " ;\n"
        << "        lv2:maximum " << number(p.maxValue);
    if (const char* unit = unitResource(p.unit))
        out << " ;\n        units:unit " << unit;
    if (PortMap::isToggle(p)) {
        out << " ;\n        lv2:portProperty lv2:toggled";
    } else if (PortMap::isWholeNumbers(p) && p.valueLabels != nullptr) {
        out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration";
        for (int32_t i = 0; i < p.steps; ++i)
            out << (i == 0 ? " ;\n        lv2:scalePoint " : " ,\n            ") << "[ rdfs:label "
                << quoted(p.valueLabels[i]) << " ; rdf:value " << number(p.minValue + i) << " ]";
    } else if (PortMap::isWholeNumbers(p)) {
        out << " ;\n        lv2:portProperty lv2:integer";
    } else if (PortMap::isLogarithmic(p)) {
        out << " ;\n        lv2:portProperty pprops:logarithmic";
    }
    out << "\n";
}

std::string pluginDescription(int minorVersion, int microVersion) {
    std::ostringstream out;
    out << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
           "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
           "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
           "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
           "\n"
           "# Generated from the engine's parameter table at build time; do not edit.\n"
        << "<" << plugin_identity::uri << ">\n"
        << "    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
        << "    doap:name " << quoted(plugin_identity::name) << " ;\n"
        << "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n"
        << "    rdfs:comment \"A small polyphonic subtractive synthesizer: wavetable oscillators "
           "or noise, resonant low-pass and high-pass filters, an amplitude envelope and a "
           "stereo delay.\" ;\n"
        << "    lv2:minorVersion " << minorVersion << " ;\n"
        << "    lv2:microVersion " << microVersion << " ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        // run() takes no lock, does no I/O and, with the engine's voice pool, calls no allocator.
        // The block-length options DPF's wrapper reads are welcome, not needed: blocks of any
        // length play, and the LV2 entry stands in for a host that offers none.
        << "    lv2:optionalFeature lv2:hardRTCapable , opts:options , bufsz:boundedBlockLength ;\n"
        << "    lv2:extensionData opts:interface ;\n"
        << "    opts:supportedOption bufsz:nominalBlockLength , bufsz:maxBlockLength ;\n"
        << "    ui:ui <" << plugin_identity::uiUri << "> ;\n"
        << "    lv2:port [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << PortMap::leftOutput << " ;\n"
        << "        lv2:symbol \"out_left\" ;\n"
        << "        lv2:name \"Left\"\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << PortMap::rightOutput << " ;\n"
        << "        lv2:symbol \"out_right\" ;\n"
        << "        lv2:name \"Right\"\n"
        << "    ] , [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << PortMap::midiInput << " ;\n"
        << "        lv2:symbol \"midi_in\" ;\n"
        << "        lv2:name \"MIDI In\"\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << PortMap::latencyOutput << " ;\n"
        << "        lv2:symbol \"latency\" ;\n"
        << "        lv2:name \"Latency\" ;\n"
        << "        lv2:designation lv2:latency ;\n"
        << "        lv2:portProperty lv2:integer , pprops:notOnGUI ;\n"
        << "        units:unit units:frame ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum 16384\n";
    for (uint32_t port = PortMap::firstControl; port < PortMap::portCount(); ++port) {
        ParameterDescription description;
        if (!DspGetParameterDescription(PortMap::parameterOf(port), &description))
            return std::string();
        out << "    ] , [\n";
        writeControlPort(out, port, description);
    }
    out << "    ] .\n";
    return out.str();
}

// "Bass: Round Sub" -> "urn:corvena:synth:preset:bass-round-sub".
std::string presetUri(const FactoryPreset& preset) {
    std::string slug;
    for (const char c : FactoryPresets::label(preset)) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            slug += char(std::tolower(static_cast<unsigned char>(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return std::string(plugin_identity::presetUriPrefix) + slug;
}

// A port value as a decimal literal, so that every host reads it as a number with a fraction
// (an integer literal would reach the plugin as an atom:Int, not the float a port holds).
std::string portValue(double value) {
    std::string text = number(value);
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

// Every preset against the parameter table, as the ports present it. Returns the problems, one
// a line; empty when the bank is sound.
std::string checkPresets() {
    std::ostringstream problems;
    std::set<std::string> labels, uris;
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        const std::string label = FactoryPresets::label(preset);
        std::string folded = label;
        for (char& c : folded)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (!labels.insert(folded).second)
            problems << "preset \"" << label << "\": a second preset has this label\n";
        if (!uris.insert(presetUri(preset)).second)
            problems << "preset \"" << label << "\": its URI " << presetUri(preset)
                     << " is another preset's\n";
        for (uint32_t port = PortMap::firstControl; port < PortMap::portCount(); ++port) {
            const ParameterType type = PortMap::parameterOf(port);
            ParameterDescription p;
            if (!DspGetParameterDescription(type, &p))
                continue; // pluginDescription() reports it
            const double value = FactoryPresets::value(preset, type);
            if (!FactoryPresets::covers(type)) {
                problems << "preset \"" << label << "\": the bank has no column for the port "
                         << p.symbol << "\n";
            } else if (std::isnan(value)) {
                problems << "preset \"" << label << "\": no value for " << p.symbol;
                if (type == ParameterTypeOscillatorWaveform && preset.controls.waveform != nullptr)
                    problems << " (\"" << preset.controls.waveform << "\" names no position)";
                problems << "\n";
            } else if (!(value >= p.minValue && value <= p.maxValue)) {
                problems << "preset \"" << label << "\": " << p.symbol << " = " << number(value)
                         << " is outside " << number(p.minValue) << " to " << number(p.maxValue)
                         << "\n";
            } else if ((PortMap::isToggle(p) || PortMap::isWholeNumbers(p)) &&
                       value != p.minValue + std::round(value - p.minValue)) {
                problems << "preset \"" << label << "\": " << p.symbol << " = " << number(value)
                         << " lies between its steps\n";
            }
        }
    }
    return problems.str();
}

std::string presetDescriptions() {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "\n"
           "# Generated from the factory bank and the engine's parameter table; do not edit.\n";
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        out << "\n<" << presetUri(preset) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << plugin_identity::uri << "> ;\n"
            << "    rdfs:label " << quoted(FactoryPresets::label(preset).c_str()) << " ;\n"
            << "    lv2:port ";
        for (uint32_t port = PortMap::firstControl; port < PortMap::portCount(); ++port) {
            const ParameterType type = PortMap::parameterOf(port);
            ParameterDescription p;
            DspGetParameterDescription(type, &p);
            out << (port == PortMap::firstControl ? "[\n" : " , [\n") << "        lv2:symbol "
                << quoted(p.symbol) << " ;\n"
                << "        pset:value " << portValue(FactoryPresets::value(preset, type))
                << "\n    ]";
        }
        out << " .\n";
    }
    return out.str();
}

std::string manifest() {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
           "\n"
        << "<" << plugin_identity::uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << plugin_identity::binaryFile << "> ;\n"
        << "    rdfs:seeAlso <" << plugin_identity::descriptionFile
        << "> .\n"
        // The window, embedded by the host through ui:parent and driven by its idle calls. It
        // reaches the plugin's instance directly, so it needs the host's instance and data
        // access (every host that embeds X11 windows offers them).
        << "\n<" << plugin_identity::uiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    ui:binary <" << plugin_identity::uiBinaryFile << "> ;\n"
        << "    lv2:extensionData opts:interface , ui:idleInterface , ui:showInterface ;\n"
        << "    lv2:optionalFeature ui:noUserResize , ui:parent , ui:touch ;\n"
        << "    lv2:requiredFeature opts:options , ui:idleInterface , urid:map ,\n"
        << "        <http://lv2plug.in/ns/ext/data-access> ,\n"
        << "        <http://lv2plug.in/ns/ext/instance-access> .\n";
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const FactoryPreset& preset = FactoryPresets::at(i);
        out << "\n<" << presetUri(preset) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << plugin_identity::uri << "> ;\n"
            << "    rdfs:label " << quoted(FactoryPresets::label(preset).c_str()) << " ;\n"
            << "    rdfs:seeAlso <" << plugin_identity::presetsFile << "> .\n";
    }
    return out.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY MINOR MICRO\n",
                     argc > 0 ? argv[0] : "corvena_lv2_ttl");
        return 2;
    }
    const std::string directory = argv[1];
    const std::string description = pluginDescription(std::atoi(argv[2]), std::atoi(argv[3]));
    if (description.empty()) {
        std::fprintf(stderr, "the parameter table has no row for a control port\n");
        return 1;
    }
    const std::string problems = checkPresets();
    if (!problems.empty()) {
        std::fprintf(stderr, "the factory presets do not fit the parameter table:\n%s",
                     problems.c_str());
        return 1;
    }
    const bool written =
        writeFile(directory + "/manifest.ttl", manifest()) &&
        writeFile(directory + "/" + plugin_identity::descriptionFile, description) &&
        writeFile(directory + "/" + plugin_identity::presetsFile, presetDescriptions());
    return written ? 0 : 1;
}
