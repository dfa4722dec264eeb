// A recorder for tests under a PipeWire daemon: one capture stream on the monitor of a sink,
// converted by PipeWire to 44100 Hz stereo float and copied into memory allocated up front,
// with the time at which each recorded cycle reached the sink. Its process callback only
// copies; the test thread reads what it wrote through atomics.
#pragma once

#include "StereoRecording.h"

#include <pipewire/pipewire.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class PipeWireRecorder : public StereoRecording {
public:
    static constexpr unsigned sampleRateHz = 44100;

    PipeWireRecorder();
    ~PipeWireRecorder() override;
    PipeWireRecorder(const PipeWireRecorder&) = delete;
    PipeWireRecorder& operator=(const PipeWireRecorder&) = delete;

    // Records the monitor of the sink named `sinkName` ("" for the default sink). False, with
    // `why`, when no daemon answers or the stream does not start within five seconds.
    bool open(const std::string& sinkName, std::string& why);

    // CLOCK_MONOTONIC nanoseconds at which recorded frame `index` passed through the sink: the
    // cycle's start as the graph's clock gives it, less the capture path's own delay, plus the
    // frame's place in its cycle. -1 for a frame not recorded.
    int64_t reachedSinkAt(size_t index) const;
    // Cycles recorded so far, and the graph's rate and quantum in the last one.
    size_t cycles() const { return cycleCount.load(std::memory_order_acquire); }
    uint32_t graphRateHz() const { return graphRate.load(std::memory_order_relaxed); }
    uint32_t graphQuantum() const { return quantum.load(std::memory_order_relaxed); }

private:
    struct Cycle {
        size_t firstFrame = 0;
        int64_t startNs = 0;
        int64_t captureDelayNs = 0;
    };
    static constexpr size_t maxCycles = 16384;

    static void onProcess(void* self);
    static void onStateChanged(void* self, pw_stream_state oldState, pw_stream_state state,
                               const char* error);
    static void onIoChanged(void* self, uint32_t id, void* area, uint32_t size);
    void process();
    void restart() override { cycleCount.store(0, std::memory_order_release); }

    pw_thread_loop* loop = nullptr;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    pw_stream_events events{};
    std::atomic<int> state{PW_STREAM_STATE_UNCONNECTED};
    std::atomic<spa_io_position*> position{nullptr};
    std::atomic<size_t> cycleCount{0};
    std::atomic<size_t> running{0}; // cycles since the stream started, armed or not
    std::atomic<uint32_t> graphRate{0};
    std::atomic<uint32_t> quantum{0};
    std::vector<Cycle> cycleLog;
};
