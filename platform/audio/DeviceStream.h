// The device behind a default-output unit: an RtAudio output stream on the default API and
// output device — JACK when a server answers, else PulseAudio (or PipeWire's PulseAudio
// service), else ALSA's "default" device — at 44100 Hz with two interleaved float32 channels,
// under the client name "Corvena" so patchbays show it by that name.
//
// The stream callback runs on the backend's audio thread and does nothing but count xruns in an
// atomic and hand the buffer to the unit: no lock, no allocation, no I/O there. A reporter
// thread, off the audio thread, tells stderr about the first xrun (once, not per buffer) and
// about a stream the backend stopped.
#pragma once

#include "OutputDevice.h"
#include "OutputUnitServices.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct OutputUnit;
class RtAudio;

class DeviceStream final : public OutputDevice {
public:
    static constexpr unsigned sampleRateHz = outputSampleRateHz;
    static constexpr unsigned channelCount = outputChannelCount;
    static constexpr unsigned preferredBufferFrames = 256;
    static constexpr const char* clientName = "Corvena";

    explicit DeviceStream(OutputUnit* unit);
    ~DeviceStream() override;
    DeviceStream(const DeviceStream&) = delete;
    DeviceStream& operator=(const DeviceStream&) = delete;

    // Opens and starts the stream on the first API, in the default order, that has an output
    // device and accepts the stream. On failure `error` names every API and device tried and
    // why each refused.
    StartResult start(std::string& error) override;
    void stop() override;

    uint64_t xrunCount() const override { return xruns.load(std::memory_order_relaxed); }
    // The longest time one render callback took: the engine's share of an xrun. A device can
    // still report xruns of its own (a late timer, another client), which this tells apart.
    uint64_t longestRenderNanoseconds() const {
        return longestRender.load(std::memory_order_relaxed);
    }
    // Render callbacks so far, and those that took more than half their buffer's duration.
    uint64_t renderCount() const { return renders.load(std::memory_order_relaxed); }
    uint64_t slowRenderCount() const { return slowRenders.load(std::memory_order_relaxed); }
    const std::string& description() const override { return deviceDescription; }
    // The rate the device itself prefers; the stream runs at 44100 Hz whatever it is.
    unsigned deviceRateHz() const { return deviceRate; }

    // RtAudio's stream callback (its signature) and the target of its error hook; both may run
    // on the audio thread.
    static int onBuffer(void* output, void* input, unsigned frames, double streamTime,
                        unsigned status, void* userData);
    void recordFailure(const std::string& text);

private:
    bool openOn(int api, std::string& why);
    std::string takeFailure();
    void startReporter();
    void runReporter();

    OutputUnit* unit;
    std::unique_ptr<RtAudio> audio;
    std::string deviceDescription;
    unsigned deviceRate = 0;

    std::atomic<uint64_t> xruns{0};
    std::atomic<uint64_t> longestRender{0};
    std::atomic<uint64_t> renders{0};
    std::atomic<uint64_t> slowRenders{0};
    // 0 no failure, 1 being written, 2 written: the error hook may run on the audio thread, so
    // the text goes into fixed storage and is published through this state.
    std::atomic<int> failureState{0};
    char failureText[512] = {};

    std::thread reporter;
    std::mutex reporterMutex;
    std::condition_variable reporterWake;
    bool reporterStopping = false;
};
