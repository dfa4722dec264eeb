#include "DeviceStream.h"

#include "OutputUnit.h"

#include <RtAudio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <time.h>

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

// std::to_string is not used here: its digit table has vague linkage and would be exported from
// the engine library, which links this file and exports only its C interface.
std::string decimal(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    return text;
}

// Backend messages end in a full stop; ours join several with "; ".
std::string reason(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string apiLabel(RtAudio::Api api) {
    switch (api) {
    case RtAudio::UNIX_JACK:
        return "JACK";
    case RtAudio::LINUX_PULSE:
        return "PulseAudio";
    case RtAudio::LINUX_ALSA:
        return "ALSA";
    default:
        return RtAudio::getApiDisplayName(api);
    }
}

} // namespace

DeviceStream::DeviceStream(OutputUnit* owner) : unit(owner) {}

DeviceStream::~DeviceStream() {
    stop();
}

DeviceStream::StartResult DeviceStream::start(std::string& error) {
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    std::string reasons;
    bool anyDevice = false;
    for (RtAudio::Api api : apis) {
        std::string why;
        if (openOn(int(api), why)) {
            startReporter();
            return StartResult::started;
        }
        if (why.find("no output device") == std::string::npos)
            anyDevice = true;
        reasons += (reasons.empty() ? "" : "; ") + why;
    }
    if (apis.empty())
        reasons = "RtAudio was built without any audio API";
    error =
        (anyDevice ? "cannot open the audio output: " : "no audio output device found: ") + reasons;
    return anyDevice ? StartResult::streamFailed : StartResult::noDevice;
}

// Tries one API: its default output device, 44100 Hz, two interleaved float32 channels. The
// rate is asked for whatever the device prefers: PulseAudio, PipeWire and ALSA's "default"
// device resample; a JACK server at another rate refuses, and the next API gets its turn.
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
        if (info.probed && info.outputChannels < channelCount) {
            why = label + " device \"" + device + "\": " + decimal(info.outputChannels) +
                  " output channel(s), 2 needed";
            return false;
        }
        RtAudio::StreamParameters output;
        output.deviceId = id;
        output.nChannels = channelCount;
        output.firstChannel = 0;
        RtAudio::StreamOptions options;
        options.streamName = clientName;
        options.flags = RTAUDIO_ALSA_USE_DEFAULT;
        unsigned frames = preferredBufferFrames;
        failureState.store(0, std::memory_order_relaxed);
        streamForErrors.store(this, std::memory_order_release);
        candidate->openStream(&output, nullptr, RTAUDIO_FLOAT32, sampleRateHz, &frames,
                              &DeviceStream::onBuffer, this, &options, &onBackendError);
        candidate->startStream(); // from here errors arrive through the hook, not as throws
        if (!candidate->isStreamRunning()) {
            const std::string failure = takeFailure();
            why = label + " device \"" + device +
                  "\": " + (failure.empty() ? "the stream did not start" : reason(failure));
            if (candidate->isStreamOpen())
                candidate->closeStream();
            return false;
        }
        deviceRate = info.preferredSampleRate;
        deviceDescription = label + ", device \"" + device + "\" at " +
                            decimal(candidate->getStreamSampleRate()) + " Hz (device " +
                            decimal(deviceRate) + " Hz), " + decimal(frames) + "-frame buffers";
        audio = std::move(candidate);
        return true;
    } catch (const std::exception& e) { // RtAudioError is one
        why = label + " device \"" + device + "\": " + reason(e.what());
    }
    return false;
}

void DeviceStream::stop() {
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
    if (reporter.joinable()) {
        {
            std::lock_guard<std::mutex> lock(reporterMutex);
            reporterStopping = true;
        }
        reporterWake.notify_all();
        reporter.join();
    }
}

namespace {

// CPU time of the calling thread: what rendering cost, without the time the thread (or the
// whole virtual machine) was not running.
uint64_t threadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

} // namespace

int DeviceStream::onBuffer(void* output, void*, unsigned frames, double, unsigned status,
                           void* userData) {
    auto* self = static_cast<DeviceStream*>(userData);
    if (status & RTAUDIO_OUTPUT_UNDERFLOW)
        self->xruns.fetch_add(1, std::memory_order_relaxed);
    const uint64_t began = threadCpuNanoseconds();
    self->unit->renderInterleaved(frames, static_cast<float*>(output));
    // Only this thread writes these, so a plain load-compare-store keeps the maximum.
    const uint64_t took = threadCpuNanoseconds() - began;
    self->renders.fetch_add(1, std::memory_order_relaxed);
    if (took * 2 * 44100ull > uint64_t(frames) * 1000000000ull)
        self->slowRenders.fetch_add(1, std::memory_order_relaxed);
    if (took > self->longestRender.load(std::memory_order_relaxed))
        self->longestRender.store(took, std::memory_order_relaxed);
    return 0;
}

void DeviceStream::recordFailure(const std::string& text) {
    int expected = 0;
    if (!failureState.compare_exchange_strong(expected, 1, std::memory_order_acquire))
        return; // the first failure is the one worth telling
    const size_t length = std::min(text.size(), sizeof failureText - 1);
    std::memcpy(failureText, text.data(), length);
    failureText[length] = '\0';
    failureState.store(2, std::memory_order_release);
}

std::string DeviceStream::takeFailure() {
    if (failureState.load(std::memory_order_acquire) != 2)
        return {};
    std::string text = failureText;
    failureState.store(0, std::memory_order_release);
    return text;
}

void DeviceStream::startReporter() {
    reporterStopping = false;
    reporter = std::thread([this] { runReporter(); });
}

void DeviceStream::runReporter() {
    bool toldXrun = false;
    bool toldFailure = false;
    std::unique_lock<std::mutex> lock(reporterMutex);
    for (;;) {
        const bool stopping = reporterWake.wait_for(lock, std::chrono::milliseconds(200),
                                                    [this] { return reporterStopping; });
        if (!toldXrun && xrunCount() > 0) {
            std::fprintf(stderr,
                         "Corvena: audio output xrun on %s (further xruns are counted, not "
                         "reported)\n",
                         deviceDescription.c_str());
            toldXrun = true;
        }
        if (!toldFailure && failureState.load(std::memory_order_acquire) == 2) {
            std::fprintf(stderr, "Corvena: audio output stopped: %s\n", failureText);
            toldFailure = true;
        }
        if (stopping)
            return;
    }
}
