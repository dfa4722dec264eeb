// The device behind a default-output unit on a JACK server, driven through libjack directly:
// the client "Corvena" with two output ports, connected to the server's first two playback
// ports. JACK decides the frames per cycle and may change them while we run (QjackCtl, Cadence,
// jack_bufsize); every cycle renders exactly the frames it is given, so a new buffer size never
// silences the stream. The server must run at 44100 Hz, the engine's only rate.
//
// Threads: JACK's process thread renders into a scratch buffer allocated at start (a cycle
// longer than it is rendered in pieces) and de-interleaves it into the ports. The buffer-size,
// xrun and shutdown callbacks only store into the reporter's atomics; the reporter thread says
// what changed.
#pragma once

#include "OutputDevice.h"
#include "OutputReporter.h"

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct OutputUnit;

class JackStream final : public OutputDevice {
public:
    // Frames rendered in one piece; JACK's largest buffer size.
    static constexpr uint32_t scratchFrames = 8192;

    explicit JackStream(OutputUnit* unit);
    ~JackStream() override;
    JackStream(const JackStream&) = delete;
    JackStream& operator=(const JackStream&) = delete;

    // noDevice when no JACK server answers, or when the JACK library is PipeWire's (PipeWire is
    // played through its own library instead); streamFailed for a server at another rate or a
    // client that could not be set up.
    StartResult start(std::string& error) override;
    void stop() override;
    const std::string& description() const override { return startDescription; }
    uint64_t xrunCount() const override { return reporter.xrunCount(); }

private:
    static int onProcess(jack_nframes_t frames, void* self);
    static int onBufferSize(jack_nframes_t frames, void* self);
    static int onXrun(void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);

    void process(jack_nframes_t frames);
    void closeClient();

    OutputUnit* unit;
    jack_client_t* client = nullptr;
    jack_port_t* ports[2] = {nullptr, nullptr};
    std::unique_ptr<float[]> scratch;
    std::atomic<bool> serverGone{false};
    // "JACK, server "default", device "system"", for the reporter's lines; set before it starts.
    std::string systemAndDevice;
    OutputReporter reporter;
    std::string startDescription;
};
