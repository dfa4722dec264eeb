#include "DeviceStream.h"

#include "OutputUnit.h"
#include "OutputUnitServices.h"

#include <RtAudio.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// RtAudio's error hook carries no user pointer; the stream being opened or running registers
// itself here. One device-backed unit plays at a time in this program.
std::atomic<DeviceStream*> streamForErrors{nullptr};

void onBackendError(RtAudioError::Type type, const std::string& text) {
    if (type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING)
        return;
    if (DeviceStream* stream = streamForErrors.load(std::memory_order_acquire))
        stream->recordFailure(text);
}

// Backend messages end in a full stop; ours join several with "; ".
std::string reason(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string apiLabel(RtAudio::Api api) {
    switch (api) {
    case RtAudio::LINUX_PULSE:
        return "PulseAudio";
    case RtAudio::LINUX_ALSA:
        return "ALSA";
    default:
        return RtAudio::getApiDisplayName(api);
    }
}

} // namespace

DeviceStream::DeviceStream(OutputUnit* owner)
    : unit(owner), reporter(owner, [this] { return systemAndDevice; }) {}

DeviceStream::~DeviceStream() {
    stop();
}

DeviceStream::StartResult DeviceStream::start(std::string& error) {
    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    std::string reasons;
    bool anyDevice = false;
    bool anyApi = false;
    for (RtAudio::Api api : {RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA}) {
        if (std::find(compiled.begin(), compiled.end(), api) == compiled.end())
            continue;
        anyApi = true;
        std::string why;
        if (openOn(int(api), why)) {
            reporter.start();
            return StartResult::started;
        }
        if (why.find("no output device") == std::string::npos)
            anyDevice = true;
        reasons += (reasons.empty() ? "" : "; ") + why;
    }
    if (!anyApi)
        reasons = "RtAudio was built without PulseAudio and ALSA";
    error = reasons;
    return anyDevice ? StartResult::streamFailed : StartResult::noDevice;
}

// Tries one API: its default output device, 44100 Hz, two interleaved float32 channels. The
// rate is asked for whatever the device prefers: PulseAudio and ALSA's "default" device
// resample.
bool DeviceStream::openOn(int apiNumber, std::string& why) {
    const auto api = RtAudio::Api(apiNumber);
    const std::string label = apiLabel(api);
    std::string device = "default output";
    try {
        auto candidate = std::make_unique<RtAudio>(api);
        candidate->showWarnings(false); // warnings would otherwise be printed from the audio thread
        if (candidate->getDeviceCount() == 0) {
            why = label + ": no output device";
            return false;
        }
        const unsigned id = candidate->getDefaultOutputDevice();
        const RtAudio::DeviceInfo info = candidate->getDeviceInfo(id);
        if (api == RtAudio::LINUX_ALSA)
            device = "default"; // RTAUDIO_ALSA_USE_DEFAULT opens the resampling "default" PCM
        else if (!info.name.empty())
            device = info.name;
        if (info.probed && info.outputChannels < outputChannelCount) {
            why = label + " device \"" + device + "\": " + std::to_string(info.outputChannels) +
                  " output channel(s), 2 needed";
            return false;
        }
        RtAudio::StreamParameters output;
        output.deviceId = id;
        output.nChannels = outputChannelCount;
        output.firstChannel = 0;
        RtAudio::StreamOptions options;
        options.streamName = clientName;
        options.flags = RTAUDIO_ALSA_USE_DEFAULT;
        unsigned frames = preferredBufferFrames;
        openingFailure.clear();
        // A refused candidate's audio thread may have noted a stop before it was joined; it is
        // not this stream's.
        reporter.clearStopped();
        openingThread = std::this_thread::get_id();
        streamForErrors.store(this, std::memory_order_release);
        opening.store(true, std::memory_order_release);
        candidate->openStream(&output, nullptr, RTAUDIO_FLOAT32, outputSampleRateHz, &frames,
                              &DeviceStream::onBuffer, this, &options, &onBackendError);
        candidate->startStream(); // from here errors arrive through the hook, not as throws
        opening.store(false, std::memory_order_release);
        if (!candidate->isStreamRunning()) {
            why = label + " device \"" + device + "\": " +
                  (openingFailure.empty() ? "the stream did not start" : reason(openingFailure));
            if (candidate->isStreamOpen())
                candidate->closeStream();
            return false;
        }
        systemAndDevice = label + ", device \"" + device + "\"";
        reporter.noteBufferSize(frames, outputSampleRateHz);
        deviceDescription = systemAndDevice + ", " +
                            std::to_string(candidate->getStreamSampleRate()) + " Hz (device " +
                            std::to_string(info.preferredSampleRate) + " Hz), " +
                            OutputReporter::bufferText(frames, outputSampleRateHz);
        audio = std::move(candidate);
        return true;
    } catch (const std::exception& e) { // RtAudioError is one
        opening.store(false, std::memory_order_release);
        why = label + " device \"" + device + "\": " + reason(e.what());
    }
    return false;
}

void DeviceStream::stop() {
    reporter.stop();
    if (audio) {
        try {
            if (audio->isStreamRunning())
                audio->stopStream();
            if (audio->isStreamOpen())
                audio->closeStream();
        } catch (const std::exception&) {
            // Stopping a stream the backend already tore down: nothing left to release.
        }
        audio.reset();
    }
    DeviceStream* self = this;
    streamForErrors.compare_exchange_strong(self, nullptr);
}

int DeviceStream::onBuffer(void* output, void*, unsigned frames, double, unsigned status,
                           void* userData) {
    auto* self = static_cast<DeviceStream*>(userData);
    if (status & RTAUDIO_OUTPUT_UNDERFLOW)
        self->reporter.noteXrun();
    self->unit->renderInterleaved(frames, static_cast<float*>(output));
    return 0;
}

// While a stream opens, the hook runs on the thread that opens it and the text is kept for the
// reason; otherwise — afterwards, or on the audio thread that startStream() has already set
// going — only the reporter's lock-free storage takes it, so the opening thread's string is
// never written from another thread.
void DeviceStream::recordFailure(const std::string& text) {
    if (opening.load(std::memory_order_acquire) && std::this_thread::get_id() == openingThread) {
        if (openingFailure.empty())
            openingFailure = text;
        return;
    }
    reporter.noteStopped(text.c_str());
}
