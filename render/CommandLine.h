// The renderer's command line:
//   corvena-render INPUT.mid -o OUTPUT.wav [--format float|pcm16|pcm24] [--rate HZ]
//                  [--preset NAME] [--set NAME=VALUE]... [--gain DB] [--channels LIST]
//                  [--tail SECONDS] [--quiet]
//   corvena-render --list-parameters
//   corvena-render --list-presets
// Options take their value as the next argument or after "=" (--rate=48000); "--" ends the
// options.
#pragma once

#include "ChannelSelection.h"
#include "ParameterOption.h"

#include <cstdint>
#include <string>
#include <vector>

enum class SampleFormat { float32, pcm16, pcm24 };

struct RenderOptions {
    enum class Action { render, listParameters, listPresets, help };
    Action action = Action::render;
    std::string inputPath;
    std::string outputPath;
    SampleFormat format = SampleFormat::float32;
    uint32_t sampleRate = 44100;
    // In command-line order; a later one wins. --preset adds one for every control it covers, so
    // a --set after it changes that control alone.
    std::vector<ParameterSetting> settings;
    double gainDecibels = 0.0; // applied before dither and clipping
    ChannelSelection channels;
    bool automaticTail = true;
    double tailSeconds = 0.0; // when not automatic
    bool quiet = false;
};

class CommandLine {
public:
    static constexpr uint32_t lowestRate = 8000;
    static constexpr uint32_t highestRate = 768000;
    static constexpr double lowestGainDecibels = -96.0;
    static constexpr double highestGainDecibels = 48.0;

    // `arguments` without the program name. On failure returns false with `error` set.
    static bool parse(const std::vector<std::string>& arguments, RenderOptions& options,
                      std::string& error);

    static std::string usage();
};
