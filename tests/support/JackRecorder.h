// A JACK client for tests: two input ports that record what they are connected to into memory
// allocated when armed, with the JACK frame time of the first recorded frame, and a count of the
// server's xruns. Its process callback only copies.
#pragma once

#include "StereoRecording.h"

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class JackRecorder : public StereoRecording {
public:
    ~JackRecorder();
    void close();

    // False when no JACK server answers (the server is never started from here).
    bool open(const char* clientName);
    std::vector<std::string> outputPortsOf(const std::string& client) const;
    // Waits (at most `timeoutSeconds`) until the server has no "Corvena" or "Corvena MIDI"
    // client left. A test process ends with the program's clients open, as the program does;
    // while the server clears them away its cycles stall, and a test that plays into that
    // records silence.
    bool waitUntilNoCorvenaClient(double timeoutSeconds) const;
    bool connectFrom(const std::string& left, const std::string& right);
    // Any two ports of the server, through this client.
    bool connectPorts(const std::string& source, const std::string& destination);

    jack_nframes_t firstFrame() const { return firstFrameTime; }
    jack_nframes_t frameTimeNow() const { return jack_frame_time(client); }
    jack_nframes_t sampleRate() const { return jack_get_sample_rate(client); }
    jack_nframes_t bufferSize() const { return jack_get_buffer_size(client); }
    uint64_t serverXruns() const { return xruns.load(std::memory_order_relaxed); }

private:
    static int process(jack_nframes_t frames, void* self);
    static int onXrun(void* self);

    jack_client_t* client = nullptr;
    jack_port_t* inputs[2] = {nullptr, nullptr};
    jack_nframes_t firstFrameTime = 0;
    std::atomic<uint64_t> xruns{0};
};
