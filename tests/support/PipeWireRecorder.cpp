#include "PipeWireRecorder.h"

#include "PipeWireStream.h"

#include <spa/pod/builder.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

PipeWireRecorder::PipeWireRecorder() : cycleLog(maxCycles) {
    pw_init(nullptr, nullptr);
}

PipeWireRecorder::~PipeWireRecorder() {
    if (loop != nullptr) {
        pw_thread_loop_lock(loop);
        if (stream != nullptr)
            pw_stream_destroy(stream);
        pw_thread_loop_unlock(loop);
        pw_thread_loop_stop(loop);
        pw_thread_loop_destroy(loop);
    }
}

bool PipeWireRecorder::open(const std::string& sinkName, std::string& why) {
    loop = pw_thread_loop_new("corvena-recorder", nullptr);
    if (loop == nullptr) {
        why = "no PipeWire thread loop";
        return false;
    }
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Music",
        PW_KEY_STREAM_CAPTURE_SINK, "true", PW_KEY_NODE_NAME, "corvena-test-recorder", nullptr);
    if (!sinkName.empty())
        pw_properties_set(props, PW_KEY_TARGET_OBJECT, sinkName.c_str());
    events.version = PW_VERSION_STREAM_EVENTS;
    events.process = &PipeWireRecorder::onProcess;
    events.state_changed = &PipeWireRecorder::onStateChanged;
    events.io_changed = &PipeWireRecorder::onIoChanged;

    uint8_t podBuffer[1024];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
    // What the program plays, PipeWire converting the sink's rate to it.
    const spa_pod* params[1] = {PipeWireStream::streamFormat(&builder)};

    pw_thread_loop_lock(loop);
    stream = pw_stream_new_simple(pw_thread_loop_get_loop(loop), "corvena-test-recorder", props,
                                  &events, this);
    int result = stream == nullptr ? -1 : 0;
    if (stream != nullptr)
        result = pw_stream_connect(stream, PW_DIRECTION_INPUT, PW_ID_ANY,
                                   pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT |
                                                   PW_STREAM_FLAG_MAP_BUFFERS |
                                                   PW_STREAM_FLAG_RT_PROCESS),
                                   params, 1);
    pw_thread_loop_unlock(loop);
    if (result < 0) {
        why = "the capture stream could not connect: " + std::string(std::strerror(-result));
        return false;
    }
    if (pw_thread_loop_start(loop) < 0) {
        why = "the PipeWire thread loop did not start";
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline && running.load() == 0 && state.load() != PW_STREAM_STATE_ERROR)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (running.load() == 0) {
        why = "the capture stream on the sink monitor did not start (state " +
              std::to_string(state.load()) + ")";
        return false;
    }
    return true;
}

int64_t PipeWireRecorder::reachedSinkAt(size_t index) const {
    const size_t count = std::min(cycles(), maxCycles);
    if (count == 0 || index >= recorded())
        return -1;
    auto after =
        std::upper_bound(cycleLog.begin(), cycleLog.begin() + long(count), index,
                         [](size_t frame, const Cycle& cycle) { return frame < cycle.firstFrame; });
    const Cycle& cycle = *(after - 1);
    return cycle.startNs - cycle.captureDelayNs +
           int64_t(double(index - cycle.firstFrame) * 1e9 / sampleRateHz);
}

void PipeWireRecorder::onProcess(void* self) {
    static_cast<PipeWireRecorder*>(self)->process();
}

void PipeWireRecorder::onStateChanged(void* self, pw_stream_state, pw_stream_state now,
                                      const char*) {
    static_cast<PipeWireRecorder*>(self)->state.store(now);
}

void PipeWireRecorder::onIoChanged(void* self, uint32_t id, void* area, uint32_t) {
    if (id == SPA_IO_Position)
        static_cast<PipeWireRecorder*>(self)->position.store(static_cast<spa_io_position*>(area));
}

void PipeWireRecorder::process() {
    pw_buffer* b = pw_stream_dequeue_buffer(stream);
    if (b == nullptr)
        return;
    if (const spa_io_position* p = position.load(std::memory_order_relaxed)) {
        graphRate.store(p->clock.rate.denom, std::memory_order_relaxed);
        quantum.store(uint32_t(p->clock.duration), std::memory_order_relaxed);
    }
    const spa_data& data = b->buffer->datas[0];
    const size_t done = written.load(std::memory_order_relaxed);
    const size_t cycle = cycleCount.load(std::memory_order_relaxed);
    running.fetch_add(1, std::memory_order_release);
    if (armed.load(std::memory_order_acquire) && data.data != nullptr && data.chunk != nullptr &&
        done < capacity && cycle < maxCycles) {
        const uint32_t offset = std::min(data.chunk->offset, data.maxsize);
        const uint32_t size = std::min(data.chunk->size, data.maxsize - offset);
        const auto* samples =
            reinterpret_cast<const float*>(static_cast<const uint8_t*>(data.data) + offset);
        const size_t frames = std::min<size_t>(size / (2 * sizeof(float)), capacity - done);
        pw_time time{};
        pw_stream_get_time_n(stream, &time, sizeof time);
        Cycle& entry = cycleLog[cycle];
        entry.firstFrame = done;
        entry.startNs = time.now;
        entry.captureDelayNs =
            time.rate.denom == 0
                ? 0
                : int64_t(double(time.delay) * time.rate.num * 1e9 / time.rate.denom) +
                      int64_t(double(time.buffered) * 1e9 / sampleRateHz);
        for (size_t i = 0; i < frames; ++i) {
            left[done + i] = samples[2 * i];
            right[done + i] = samples[2 * i + 1];
        }
        cycleCount.store(cycle + 1, std::memory_order_release);
        written.store(done + frames, std::memory_order_release);
    }
    pw_stream_queue_buffer(stream, b);
}
