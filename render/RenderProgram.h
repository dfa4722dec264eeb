// corvena-render from its arguments to its exit status: reads the MIDI file, sets up the engine
// through its C interface in a host's calling order (create, resource directory, parameter
// callback, initialise; no output unit: the renderer drives the render callback itself), posts
// the --set values, renders, and writes the WAV file.
//
// Every failure is one line on standard error, "corvena-render: FILE: problem", naming the file
// concerned, and exit status 1, with no output file left behind and an existing one untouched.
// A render ends with one line on standard output: the duration rendered, the time it took and
// the real-time factor.
#pragma once

#include <string>
#include <vector>

class RenderProgram {
public:
    static constexpr int success = 0;
    static constexpr int failure = 1;

    static int run(const std::vector<std::string>& arguments);

    // "4:03.512": minutes, seconds and milliseconds of audio.
    static std::string duration(double seconds);
};
