#include "PipeWireStream.h"

#include "OutputUnit.h"
#include "OutputUnitServices.h"

#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr uint32_t bytesPerFrame = outputChannelCount * sizeof(float);

// How long start() waits for the graph's first cycle, so the start-up line can say what
// quantum the graph granted. An unlinked stream (no sink at all) never gets one; the watchdog
// then speaks up.
constexpr auto firstCycleWait = std::chrono::milliseconds(1500);

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string describeRate(uint32_t graphRate) {
    char text[64];
    if (graphRate == 0 || graphRate == outputSampleRateHz)
        std::snprintf(text, sizeof text, "%u Hz", outputSampleRateHz);
    else
        std::snprintf(text, sizeof text, "%u Hz (graph at %u Hz)", outputSampleRateHz, graphRate);
    return text;
}

} // namespace

PipeWireStream::PipeWireStream(OutputUnit* owner)
    : unit(owner), reporter(owner, [this] { return describeNow(); }) {
    streamEvents.version = PW_VERSION_STREAM_EVENTS;
    streamEvents.process = &PipeWireStream::onProcess;
    streamEvents.state_changed = &PipeWireStream::onStateChanged;
    streamEvents.io_changed = &PipeWireStream::onIoChanged;
    coreEvents.version = PW_VERSION_CORE_EVENTS;
    coreEvents.error = &PipeWireStream::onCoreError;
    registryEvents.version = PW_VERSION_REGISTRY_EVENTS;
    registryEvents.global = &PipeWireStream::onGlobal;
    registryEvents.global_remove = &PipeWireStream::onGlobalRemoved;
}

PipeWireStream::~PipeWireStream() {
    stop();
}

OutputDevice::StartResult PipeWireStream::start(std::string& error) {
    return reporter.startReopening(
        [this](std::string& why, std::string& playing) { return open(why, playing); },
        [this](std::string& why, std::string& playing) { return reopen(why, playing); },
        StartResult::started, startDescription, error);
}

bool PipeWireStream::reopen(std::string& error, std::string& playing) {
    // On the reporter thread, which alone touches the connection once the stream has started:
    // everything of the old daemon is given up and made anew on the one that answers now.
    release();
    position.store(nullptr, std::memory_order_release);
    streamed.store(false);
    nextClockPosition = 0;
    lastQuantum = 0;
    lastRate = 0;
    nodeNames.clear();
    links.clear();
    return open(error, playing) == StartResult::started;
}

OutputDevice::StartResult PipeWireStream::open(std::string& error, std::string& playing) {
    pw_init(nullptr, nullptr);
    loop = pw_thread_loop_new("corvena-pipewire", nullptr);
    if (loop == nullptr) {
        error = "PipeWire: the client library could not start its thread";
        return StartResult::streamFailed;
    }
    // The real-time client configuration: PipeWire raises its data thread's priority.
    context = pw_context_new(pw_thread_loop_get_loop(loop),
                             pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (context == nullptr) {
        error = "PipeWire: the client library could not be set up";
        release();
        return StartResult::streamFailed;
    }
    pw_thread_loop_lock(loop);
    core = pw_context_connect(context, nullptr, 0);
    if (core == nullptr) {
        const int reason = errno;
        pw_thread_loop_unlock(loop);
        error = std::string("PipeWire: no daemon running (") + std::strerror(reason) + ")";
        release();
        return StartResult::noDevice;
    }
    pw_core_add_listener(core, &coreListener, &coreEvents, this);
    registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
    if (registry != nullptr)
        pw_registry_add_listener(registry, &registryListener, &registryEvents, this);

    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
        PW_KEY_MEDIA_CLASS, "Stream/Output/Audio", PW_KEY_NODE_NAME, clientName,
        PW_KEY_NODE_DESCRIPTION, clientName, PW_KEY_APP_NAME, clientName, PW_KEY_NODE_LATENCY,
        requestedLatency, nullptr);
    stream = pw_stream_new(core, clientName, props);
    int result = -ENOMEM;
    if (stream != nullptr) {
        pw_stream_add_listener(stream, &streamListener, &streamEvents, this);
        uint8_t podBuffer[1024];
        spa_pod_builder builder{};
        spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
        const spa_pod* params[1] = {streamFormat(&builder)};
        result = pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                                   pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT |
                                                   PW_STREAM_FLAG_MAP_BUFFERS |
                                                   PW_STREAM_FLAG_RT_PROCESS),
                                   params, 1);
    }
    pw_thread_loop_unlock(loop);
    if (result < 0) {
        error =
            std::string("PipeWire: the stream could not be made (") + spa_strerror(result) + ")";
        release();
        return StartResult::streamFailed;
    }
    if (pw_thread_loop_start(loop) < 0) {
        error = "PipeWire: the client library's thread did not start";
        release();
        return StartResult::streamFailed;
    }

    const uint64_t cyclesBefore = cycleCount();
    const auto deadline = std::chrono::steady_clock::now() + firstCycleWait;
    while (cycleCount() == cyclesBefore && !reporter.stopped() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pw_thread_loop_lock(loop);
    const char* streamError = nullptr;
    const bool failed = pw_stream_get_state(stream, &streamError) == PW_STREAM_STATE_ERROR;
    const std::string why = streamError != nullptr ? streamError : "the stream ended in an error";
    pw_thread_loop_unlock(loop);
    if (failed) {
        error = "PipeWire: " + why;
        release();
        return StartResult::streamFailed;
    }
    playing = describeNow() + ", " + describeRate(graphRateHz()) + ", " +
              OutputReporter::bufferText(graphQuantum(), graphRateHz());
    return StartResult::started;
}

void PipeWireStream::stop() {
    reporter.stop();
    release();
}

void PipeWireStream::release() {
    if (loop == nullptr)
        return;
    pw_thread_loop_lock(loop);
    if (stream != nullptr) {
        spa_hook_remove(&streamListener);
        pw_stream_destroy(stream); // waits for the data thread to leave process()
        stream = nullptr;
    }
    if (registry != nullptr) {
        spa_hook_remove(&registryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        registry = nullptr;
    }
    if (core != nullptr) {
        spa_hook_remove(&coreListener);
        pw_core_disconnect(core);
        core = nullptr;
    }
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    if (context != nullptr) {
        pw_context_destroy(context);
        context = nullptr;
    }
    pw_thread_loop_destroy(loop);
    loop = nullptr;
}

const spa_pod* PipeWireStream::streamFormat(spa_pod_builder* builder) {
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = outputSampleRateHz;
    info.channels = outputChannelCount;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    return spa_format_audio_raw_build(builder, SPA_PARAM_EnumFormat, &info);
}

std::string PipeWireStream::describeNow() {
    std::string device;
    if (loop != nullptr) {
        pw_thread_loop_lock(loop);
        const uint32_t ours = stream != nullptr ? pw_stream_get_node_id(stream) : SPA_ID_INVALID;
        for (const auto& [link, nodes] : links) {
            const auto name = nodeNames.find(nodes.second);
            if (nodes.first == ours && name != nodeNames.end()) {
                device = name->second;
                break;
            }
        }
        pw_thread_loop_unlock(loop);
    }
    return device.empty() ? "PipeWire, not linked to a device"
                          : "PipeWire, device " + quoted(device);
}

// ---- PipeWire's data thread ----

void PipeWireStream::onProcess(void* self) {
    static_cast<PipeWireStream*>(self)->process();
}

void PipeWireStream::process() {
    pw_buffer* buffer = pw_stream_dequeue_buffer(stream);
    if (buffer == nullptr) {
        reporter.noteXrun(); // every buffer is still queued: the graph ran ahead of us
        return;
    }
    const spa_io_position* p = position.load(std::memory_order_acquire);
    spa_data& data = buffer->buffer->datas[0];
    if (data.data != nullptr && data.chunk != nullptr) {
        uint32_t frames = data.maxsize / bytesPerFrame;
        if (buffer->requested != 0)
            frames = std::min<uint32_t>(frames, uint32_t(buffer->requested));
        // The graph's cycle time, from the driver's clock (monotonic nanoseconds).
        unit->renderInterleaved(frames, static_cast<float*>(data.data),
                                p != nullptr ? p->clock.nsec : 0);
        data.chunk->offset = 0;
        data.chunk->stride = int32_t(bytesPerFrame);
        data.chunk->size = frames * bytesPerFrame;
        buffer->size = frames;
    }
    pw_stream_queue_buffer(stream, buffer);

    if (p != nullptr) {
        const uint32_t rate = p->clock.rate.denom;
        // A cycle that does not start where the last one ended: the graph skipped (an xrun). A
        // change of quantum or rate restarts the count rather than counting as one.
        if (lastQuantum == p->clock.duration && lastRate == rate &&
            p->clock.position != nextClockPosition)
            reporter.noteXrun();
        lastQuantum = p->clock.duration;
        lastRate = rate;
        nextClockPosition = p->clock.position + p->clock.duration;
        reporter.noteBufferSize(uint32_t(p->clock.duration), rate);
    }
    cycles.fetch_add(1, std::memory_order_release);
}

// ---- the thread loop's thread ----

void PipeWireStream::onIoChanged(void* self, uint32_t id, void* area, uint32_t) {
    if (id == SPA_IO_Position)
        static_cast<PipeWireStream*>(self)->position.store(static_cast<spa_io_position*>(area),
                                                           std::memory_order_release);
}

void PipeWireStream::onStateChanged(void* data, pw_stream_state, pw_stream_state state,
                                    const char* error) {
    auto* self = static_cast<PipeWireStream*>(data);
    if (state == PW_STREAM_STATE_STREAMING)
        self->streamed.store(true);
    else if (state == PW_STREAM_STATE_ERROR)
        self->reporter.noteStopped(error != nullptr ? error : "the stream ended in an error");
    else if (state == PW_STREAM_STATE_UNCONNECTED && self->streamed.load())
        self->reporter.noteStopped("the stream was disconnected");
}

void PipeWireStream::onCoreError(void* data, uint32_t id, int, int result, const char* message) {
    auto* self = static_cast<PipeWireStream*>(data);
    if (id == PW_ID_CORE && result == -EPIPE)
        self->reporter.noteStopped("the PipeWire daemon went away");
    else if (id == PW_ID_CORE)
        self->reporter.noteStopped(message != nullptr ? message : spa_strerror(result));
}

void PipeWireStream::onGlobal(void* data, uint32_t id, uint32_t, const char* type, uint32_t,
                              const spa_dict* props) {
    auto* self = static_cast<PipeWireStream*>(data);
    if (props == nullptr || type == nullptr)
        return;
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        const char* name = spa_dict_lookup(props, PW_KEY_NODE_DESCRIPTION);
        if (name == nullptr)
            name = spa_dict_lookup(props, PW_KEY_NODE_NAME);
        if (name != nullptr)
            self->nodeNames[id] = name;
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Link) == 0) {
        const char* output = spa_dict_lookup(props, PW_KEY_LINK_OUTPUT_NODE);
        const char* input = spa_dict_lookup(props, PW_KEY_LINK_INPUT_NODE);
        if (output != nullptr && input != nullptr)
            self->links[id] = {uint32_t(std::strtoul(output, nullptr, 10)),
                               uint32_t(std::strtoul(input, nullptr, 10))};
    }
}

void PipeWireStream::onGlobalRemoved(void* data, uint32_t id) {
    auto* self = static_cast<PipeWireStream*>(data);
    self->nodeNames.erase(id);
    self->links.erase(id);
}
