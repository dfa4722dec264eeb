#include "JackStream.h"

#include "HostClock.h"
#include "JackServer.h"
#include "OutputUnit.h"
#include "OutputUnitServices.h"
#include "RateConverter.h"

#include <algorithm>

JackStream::JackStream(OutputUnit* owner)
    : unit(owner), reporter(owner, [this] { return systemAndDevice; }) {}

JackStream::~JackStream() {
    stop();
}

OutputDevice::StartResult JackStream::start(std::string& error) {
    return reporter.startReopening(
        [this](std::string& why, std::string& playing) { return open(why, playing); },
        [this](std::string& why, std::string& playing) { return reopen(why, playing); },
        StartResult::started, startDescription, error);
}

bool JackStream::reopen(std::string& error, std::string& playing) {
    // On the reporter thread, which alone touches the client once the stream has started.
    closeClient();
    converter.reset();
    serverGone.store(false, std::memory_order_release);
    return open(error, playing) == StartResult::started;
}

OutputDevice::StartResult JackStream::open(std::string& error, std::string& playing) {
    const std::string serverName = JackServer::name();
    if (JackServer::libraryIsPipeWires()) {
        error = "JACK: the JACK library here is PipeWire's, and PipeWire is played directly";
        return StartResult::noDevice;
    }
    client = JackServer::openClient(clientName);
    if (client == nullptr) {
        error = "JACK: no server \"" + serverName + "\" running";
        return StartResult::noDevice;
    }
    serverRate = jack_get_sample_rate(client);
    if (serverRate != outputSampleRateHz) {
        converter = std::make_unique<RateConverter>(double(outputSampleRateHz), double(serverRate),
                                                    &JackStream::pull, this);
        if (!converter->isReady()) {
            error = "JACK: server \"" + serverName + "\" runs at " + std::to_string(serverRate) +
                    " Hz: " + converter->failure();
            converter.reset();
            closeClient();
            return StartResult::streamFailed;
        }
    }
    ports[0] = jack_port_register(client, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    ports[1] =
        jack_port_register(client, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    scratch.reset(new float[size_t(scratchFrames) * outputChannelCount]);
    reporter.noteBufferSize(jack_get_buffer_size(client), serverRate);
    if (ports[0] == nullptr || ports[1] == nullptr ||
        jack_set_process_callback(client, &JackStream::onProcess, this) != 0 ||
        jack_set_buffer_size_callback(client, &JackStream::onBufferSize, this) != 0 ||
        jack_set_sample_rate_callback(client, &JackStream::onSampleRate, this) != 0 ||
        jack_set_xrun_callback(client, &JackStream::onXrun, this) != 0) {
        error = "JACK: the client \"" + std::string(clientName) + "\" could not be set up";
        closeClient();
        return StartResult::streamFailed;
    }
    jack_on_info_shutdown(client, &JackStream::onShutdown, this);
    if (jack_activate(client) != 0) {
        error = "JACK: server \"" + serverName + "\" would not run the client";
        closeClient();
        return StartResult::streamFailed;
    }
    // To the first two playback ports, as a desktop's speakers are; none (a server without a
    // device) leaves the ports for a patchbay.
    const char** playback = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    std::string playbackClient;
    for (int i = 0; playback != nullptr && playback[i] != nullptr && i < 2; ++i) {
        if (i == 0) {
            playbackClient = playback[i];
            playbackClient.resize(playbackClient.find(':'));
        }
        jack_connect(client, jack_port_name(ports[i]), playback[i]);
    }
    if (playback != nullptr)
        jack_free(playback);

    systemAndDevice = "JACK, server \"" + serverName + "\"" +
                      (playbackClient.empty() ? "" : ", device \"" + playbackClient + "\"");
    const std::string serverAt =
        converter ? " (server at " + std::to_string(serverRate) + " Hz)" : "";
    playing = systemAndDevice + ", 44100 Hz" + serverAt + ", " +
              OutputReporter::bufferText(reporter.bufferFrames(), serverRate);
    return StartResult::started;
}

void JackStream::stop() {
    reporter.stop();
    closeClient();
}

void JackStream::closeClient() {
    if (client == nullptr)
        return;
    // After a shutdown the server is gone and the client cannot be closed cleanly; the process
    // keeps the little it holds.
    if (!serverGone.load(std::memory_order_acquire)) {
        jack_deactivate(client); // waits for the last process cycle
        jack_client_close(client);
    }
    client = nullptr;
}

int JackStream::onProcess(jack_nframes_t frames, void* self) {
    static_cast<JackStream*>(self)->process(frames);
    return 0;
}

void JackStream::process(jack_nframes_t frames) {
    // The cycle's start on the host clock, from the server's cycle times: JACK's time base may
    // not be the host clock's, so only the distance back from now is taken from it.
    const uint64_t now = HostClock::nowNanoseconds();
    const jack_time_t nowMicroseconds = jack_get_time();
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleMicroseconds = nowMicroseconds, nextCycle = 0;
    float periodMicroseconds = 0.0f;
    jack_get_cycle_times(client, &cycleFrame, &cycleMicroseconds, &nextCycle, &periodMicroseconds);
    const uint64_t cycleStart = HostClock::earlierBy(now, nowMicroseconds, cycleMicroseconds);
    auto* left = static_cast<float*>(jack_port_get_buffer(ports[0], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(ports[1], frames));
    cycleHostTime = cycleStart;
    pulledThisCycle = 0;
    for (jack_nframes_t done = 0; done < frames;) {
        const uint32_t piece = std::min<uint32_t>(frames - done, scratchFrames);
        if (converter)
            converter->read(scratch.get(), piece);
        else
            pull(this, scratch.get(), piece);
        for (uint32_t i = 0; i < piece; ++i) {
            left[done + i] = scratch[2 * i];
            right[done + i] = scratch[2 * i + 1];
        }
        done += piece;
    }
}

void JackStream::pull(void* data, float* interleaved, uint32_t frames) {
    // Each piece stamped with its own time: the cycle's start and the engine frames before it.
    auto* self = static_cast<JackStream*>(data);
    self->unit->renderInterleaved(frames, interleaved,
                                  self->cycleHostTime +
                                      self->pulledThisCycle * 1000000000ull / outputSampleRateHz);
    self->pulledThisCycle += frames;
}

int JackStream::onBufferSize(jack_nframes_t frames, void* self) {
    auto* stream = static_cast<JackStream*>(self);
    stream->reporter.noteBufferSize(frames, stream->serverRate);
    return 0;
}

int JackStream::onSampleRate(jack_nframes_t rate, void* self) {
    // The converter was made for the rate the server had at start; a server that changes it
    // has to be played anew.
    auto* stream = static_cast<JackStream*>(self);
    if (rate != stream->serverRate)
        stream->reporter.noteStopped("the JACK server changed its sample rate");
    return 0;
}

int JackStream::onXrun(void* self) {
    static_cast<JackStream*>(self)->reporter.noteXrun();
    return 0;
}

void JackStream::onShutdown(jack_status_t, const char* reason, void* data) {
    auto* self = static_cast<JackStream*>(data);
    self->serverGone.store(true, std::memory_order_release);
    self->reporter.noteStopped(reason != nullptr && *reason != '\0' ? reason
                                                                    : "the JACK server went away");
}
