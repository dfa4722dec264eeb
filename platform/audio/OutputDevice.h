// What plays a default-output unit: one stream on one audio system, opened when the unit starts
// and closed when it stops. The unit services know only this seam, so the engine library, which
// starts the unit, links no audio system; the host, which creates the unit, brings the devices.
#pragma once

#include <cstdint>
#include <string>

class OutputDevice {
public:
    enum class StartResult { started, noDevice, streamFailed };
    // What every audio system's patchbay calls us, so users find the program under one name.
    static constexpr const char* clientName = "Corvena";

    virtual ~OutputDevice() = default;

    // Opens and starts the stream; on failure `error` says what was tried and why it refused.
    virtual StartResult start(std::string& error) = 0;
    // Stops the stream and waits for its last callback: after it the unit may change.
    virtual void stop() = 0;
    // "JACK, server "default", device "system", 44100 Hz, 256-frame buffers (5.8 ms)": what is
    // playing, for messages.
    virtual const std::string& description() const = 0;
    // Buffers the audio system reported as underrun since the start.
    virtual uint64_t xrunCount() const = 0;
    // The audio system ended the stream (its server stopped) and it is not back yet. Any
    // thread.
    virtual bool interrupted() const { return false; }
};
