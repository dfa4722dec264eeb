// AudioUnitWrapper brings up sound: it creates the default output unit, gives it the stream
// format (44100 Hz, two interleaved 32-bit float channels), creates the engine, tells it where
// its resource files lie, registers the parameter callback, initialises it and hands it the
// unit, which the engine starts. From then on the output's audio thread drives the engine and the
// wrapper does nothing more.
//
// Start-up contract: the application calls audioUnitWrapper.initialize() once, on the main
// thread, after the main window is up and before MIDI. It returns false when sound cannot run —
// no audio API or output device, a stream the backend would not open, no resource directory, a
// resource path that is not valid UTF-8 or too long for the engine — and failureMessage() then
// holds one line saying what was missing and where it was looked for; the unit is then disposed
// of. The application prints "Corvena: " and that line on stderr and exits with a non-zero
// status; the library never exits the process itself.
#pragma once

#include "Corvena_Core.h"

#include <string>

class AudioUnitWrapper {
public:
    DspObject ptr = nullptr;
    AudioUnit audioUnit = nullptr; // the engine keeps this field's address: the wrapper never moves
    double samplingRate = 44100.0;

    // The ten start-up steps, in order; see the contract above. A second call does nothing and
    // returns the first call's result.
    bool initialize();
    const std::string& failureMessage() const { return failure; }
    // Once running: "audio through PipeWire, device "Speakers", 44100 Hz, 256-frame buffers
    // (5.8 ms)", the line the application prints at start; and "3 xruns on the audio output",
    // the one it prints at exit. Empty otherwise.
    std::string startLine() const;
    std::string xrunLine() const;

    // The platform's standard format for `channels` channels at `rate`: float, one buffer per
    // channel (non-interleaved), as a standard format object describes it.
    static AudioStreamBasicDescription standardFormat(double rate, uint32_t channels);
    // The format the unit gets: the standard format's rate and reserved word, every other field
    // fixed to two interleaved 32-bit float channels whatever the standard format's layout.
    static AudioStreamBasicDescription
    streamFormatFrom(const AudioStreamBasicDescription& standard);

private:
    bool fail(std::string message);

    enum class State { notStarted, running, failed };
    State state = State::notStarted;
    std::string failure;
};

extern AudioUnitWrapper audioUnitWrapper;
