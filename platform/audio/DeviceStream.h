// The device behind a default-output unit where neither PipeWire nor a JACK server runs: an
// RtAudio output stream on PulseAudio, else ALSA's "default" device, at 44100 Hz with two
// interleaved float32 channels and 256-frame buffers asked for, under the client name
// "Corvena" so mixers show it by that name. (JACK is not tried here: RtAudio's JACK stream
// cannot follow a server whose buffer size changes; JackStream plays JACK.)
//
// The stream callback runs on the backend's audio thread and does nothing but count xruns in an
// atomic and hand the buffer to the unit: no lock, no allocation, no I/O there. The reporter
// tells stderr about the first xrun, a change of buffer size, a stream the backend stopped and
// a stream that stopped asking for audio.
#pragma once

#include "OutputDevice.h"
#include "OutputReporter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

struct OutputUnit;
class RtAudio;

class DeviceStream final : public OutputDevice {
public:
    static constexpr unsigned preferredBufferFrames = 256;

    explicit DeviceStream(OutputUnit* unit);
    ~DeviceStream() override;
    DeviceStream(const DeviceStream&) = delete;
    DeviceStream& operator=(const DeviceStream&) = delete;

    // Opens and starts the stream on PulseAudio, else ALSA, whichever has an output device and
    // accepts the stream. On failure `error` names every API and device tried and why each
    // refused.
    StartResult start(std::string& error) override;
    void stop() override;

    uint64_t xrunCount() const override { return reporter.xrunCount(); }
    const std::string& description() const override { return deviceDescription; }

    // RtAudio's stream callback (its signature) and the target of its error hook; both may run
    // on the audio thread.
    static int onBuffer(void* output, void* input, unsigned frames, double streamTime,
                        unsigned status, void* userData);
    void recordFailure(const std::string& text);

private:
    bool openOn(int api, std::string& why);

    OutputUnit* unit;
    std::unique_ptr<RtAudio> audio;
    std::string deviceDescription;
    std::string systemAndDevice; // "PulseAudio, device "Speakers"", for the reporter's lines
    OutputReporter reporter;
    std::atomic<bool> opening{false};
    std::string openingFailure;    // the error hook's text while a stream opens (main thread)
    std::thread::id openingThread; // the thread that opens; set before `opening` is published
};
