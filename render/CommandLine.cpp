#include "CommandLine.h"

#include "FactoryPresets.h"

#include <charconv>
#include <cmath>

namespace {

bool parseRate(const std::string& text, uint32_t& rate) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), rate);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool parseDecibels(const std::string& text, double& decibels) {
    return ParameterOption::parseNumber(text, decibels) &&
           decibels >= CommandLine::lowestGainDecibels &&
           decibels <= CommandLine::highestGainDecibels;
}

bool parseSeconds(const std::string& text, double& seconds) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), seconds);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() &&
           std::isfinite(seconds) && seconds >= 0.0;
}

} // namespace

bool CommandLine::parse(const std::vector<std::string>& arguments, RenderOptions& options,
                        std::string& error) {
    options = RenderOptions();
    std::vector<std::string> inputs;
    bool outputGiven = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasInlineValue = false;
        if (argument.rfind("--", 0) == 0) {
            const size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
                argument.resize(equals);
                hasInlineValue = true;
            }
        }
        const auto takeValue = [&](const char* name) {
            if (hasInlineValue)
                return true;
            if (i + 1 >= arguments.size()) {
                error = std::string(name) + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        const auto noValue = [&](const char* name) {
            if (hasInlineValue)
                error = std::string(name) + " takes no value";
            return !hasInlineValue;
        };

        if (argument == "-o" || argument == "--output") {
            if (!takeValue("--output"))
                return false;
            if (value.empty()) {
                error = "--output needs a file name";
                return false;
            }
            options.outputPath = value;
            outputGiven = true;
        } else if (argument == "--format") {
            if (!takeValue("--format"))
                return false;
            if (value == "float")
                options.format = SampleFormat::float32;
            else if (value == "pcm16")
                options.format = SampleFormat::pcm16;
            else if (value == "pcm24")
                options.format = SampleFormat::pcm24;
            else {
                error = "--format takes float, pcm16 or pcm24, not \"" + value + "\"";
                return false;
            }
        } else if (argument == "--rate") {
            if (!takeValue("--rate"))
                return false;
            if (!parseRate(value, options.sampleRate) || options.sampleRate < lowestRate ||
                options.sampleRate > highestRate) {
                error = "--rate takes a whole number of hertz from " + std::to_string(lowestRate) +
                        " to " + std::to_string(highestRate) + ", not \"" + value + "\"";
                return false;
            }
        } else if (argument == "--set") {
            if (!takeValue("--set"))
                return false;
            ParameterSetting setting;
            if (!ParameterOption::parse(value, setting, error))
                return false;
            options.settings.push_back(setting);
        } else if (argument == "--preset") {
            if (!takeValue("--preset"))
                return false;
            const FactoryPreset* preset = FactoryPresets::find(value, error);
            if (preset == nullptr)
                return false;
            for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
                if (!FactoryPresets::covers(type))
                    continue;
                const double presetValue = FactoryPresets::value(*preset, type);
                options.settings.push_back(
                    {type, presetValue, DspGetNormalizedValue(type, presetValue)});
            }
        } else if (argument == "--list-presets") {
            if (!noValue("--list-presets"))
                return false;
            options.action = RenderOptions::Action::listPresets;
        } else if (argument == "--gain") {
            if (!takeValue("--gain"))
                return false;
            if (!parseDecibels(value, options.gainDecibels)) {
                error = "--gain takes decibels from -96 to +48, not \"" + value + "\"";
                return false;
            }
        } else if (argument == "--channels") {
            if (!takeValue("--channels") || !options.channels.parse(value, error))
                return false;
        } else if (argument == "--tail") {
            if (!takeValue("--tail"))
                return false;
            if (!parseSeconds(value, options.tailSeconds)) {
                error = "--tail takes a number of seconds, 0 or more, not \"" + value + "\"";
                return false;
            }
            options.automaticTail = false;
        } else if (argument == "-q" || argument == "--quiet") {
            if (!noValue("--quiet"))
                return false;
            options.quiet = true;
        } else if (argument == "--list-parameters") {
            if (!noValue("--list-parameters"))
                return false;
            options.action = RenderOptions::Action::listParameters;
        } else if (argument == "-h" || argument == "--help") {
            if (!noValue("--help"))
                return false;
            options.action = RenderOptions::Action::help;
        } else {
            error = "unknown option \"" + argument + "\"";
            return false;
        }
    }
    if (options.action != RenderOptions::Action::render)
        return true;
    if (inputs.size() != 1) {
        error = inputs.empty() ? "no MIDI file given" : "more than one MIDI file given";
        return false;
    }
    if (!outputGiven) {
        error = "no output file given (-o OUTPUT.wav)";
        return false;
    }
    options.inputPath = inputs[0];
    return true;
}

std::string CommandLine::usage() {
    return "Usage: corvena-render INPUT.mid -o OUTPUT.wav [options]\n"
           "Renders a Standard MIDI File (format 0 or 1) through Corvena's engine into a WAV "
           "file.\n"
           "\n"
           "  -o, --output FILE     the WAV file to write (replaced only when rendering succeeds)\n"
           "  --format FORMAT       float (32-bit, the default), pcm16 (with TPDF dither) or "
           "pcm24\n"
           "  --rate HZ             sample rate of the file (default 44100, the engine's own)\n"
           "  --preset NAME         start from a factory preset: its name or label, or the start\n"
           "                        of one, in any case (e.g. --preset \"round sub\"); a --set\n"
           "                        after it changes one control\n"
           "  --set NAME=VALUE      set a parameter, in its own unit (e.g. --set cutoff=1200,\n"
           "                        --set waveform=Sawtooth); may be repeated\n"
           "  --gain DB             scale the output by DB decibels before dither and clipping\n"
           "                        (default 0; e.g. --gain -6)\n"
           "  --channels LIST       play only these MIDI channels, e.g. 1-9,11-16 to leave out\n"
           "                        General MIDI drums (default: all sixteen)\n"
           "  --tail SECONDS        render this long after the last event (default: until the\n"
           "                        sound has died away)\n"
           "  -q, --quiet           no progress bar\n"
           "  --list-parameters     list every parameter with its range, unit and default\n"
           "  --list-presets        list the factory presets, one label a line\n"
           "  -h, --help            show this help\n";
}
