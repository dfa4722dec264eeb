// The device behind a default-output unit on a JACK server, driven through libjack directly:
// the client "Corvena" with two output ports, connected to the server's first two playback
// ports. JACK decides the frames per cycle and may change them while we run (QjackCtl, Cadence,
// jack_bufsize); every cycle renders exactly the frames it is given, so a new buffer size never
// silences the stream. A server at another rate than the engine's 44100 Hz is played through
// the shared RateConverter, as the platform's default output converts to its device's rate: the
// engine is pulled exactly as far as the cycle needs, each piece stamped with the host time it
// stands for, so events keep their timing and the delay grows by under a millisecond.
//
// A server that stops (or changes its rate) ends the stream; the reporter thread opens it again
// once a second until a server answers, and the sound comes back by itself.
//
// Threads: JACK's process thread renders into a scratch buffer allocated at start (a cycle
// longer than it is rendered in pieces) and de-interleaves it into the ports. The buffer-size,
// sample-rate, xrun and shutdown callbacks only store into atomics; the reporter thread says what
// changed.
#pragma once

#include "OutputDevice.h"
#include "OutputReporter.h"

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct OutputUnit;
class RateConverter;

class JackStream final : public OutputDevice {
public:
    // Frames rendered in one piece; JACK's largest buffer size.
    static constexpr uint32_t scratchFrames = 8192;

    explicit JackStream(OutputUnit* unit);
    ~JackStream() override;
    JackStream(const JackStream&) = delete;
    JackStream& operator=(const JackStream&) = delete;

    // noDevice when no JACK server answers, or when the JACK library is PipeWire's (PipeWire is
    // played through its own library instead); streamFailed for a rate nothing converts to or a
    // client that could not be set up.
    StartResult start(std::string& error) override;
    void stop() override;
    const std::string& description() const override { return startDescription; }
    uint64_t xrunCount() const override { return reporter.xrunCount(); }
    bool interrupted() const override { return reporter.interrupted(); }

private:
    static int onProcess(jack_nframes_t frames, void* self);
    static int onBufferSize(jack_nframes_t frames, void* self);
    static int onSampleRate(jack_nframes_t rate, void* self);
    static void pull(void* self, float* interleaved, uint32_t frames);
    static int onXrun(void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);

    // Opens, sets up and activates the client; `playing` is what the start-up line says.
    StartResult open(std::string& error, std::string& playing);
    // After the server ended the stream: the client given up and opened anew, on the server
    // that answers now, at whatever rate it runs.
    bool reopen(std::string& error, std::string& playing);
    void process(jack_nframes_t frames);
    void closeClient();

    OutputUnit* unit;
    jack_client_t* client = nullptr;
    jack_port_t* ports[2] = {nullptr, nullptr};
    std::unique_ptr<float[]> scratch;
    std::unique_ptr<RateConverter> converter; // none at 44100 Hz
    uint32_t serverRate = 0;
    // The process thread's: the host time of the cycle being rendered and the engine frames
    // pulled for it so far.
    uint64_t cycleHostTime = 0;
    uint64_t pulledThisCycle = 0;
    std::atomic<bool> serverGone{false};
    // "JACK, server "default", device "system"", for the reporter's lines; set before it starts.
    std::string systemAndDevice;
    OutputReporter reporter;
    std::string startDescription;
};
