// The device behind a default-output unit on PipeWire, the sound server of today's desktops,
// through its own client library: one playback stream, node "Corvena", 44100 Hz with two
// interleaved float32 channels, asking the graph for 256-frame cycles (node.latency 256/44100).
// The session manager links it to the default sink and PipeWire converts our rate to the
// graph's; the desktop's sound settings, pavucontrol or qpwgraph can move it elsewhere.
//
// A daemon that stops or restarts (systemctl --user restart pipewire) ends the stream; the
// reporter thread makes it anew once a second until a daemon answers.
//
// Threads: PipeWire's data thread calls process(), which renders exactly the frames the graph
// asks for this cycle — whatever the quantum, before and after it changes — and only stores news
// (quantum, rate, skipped cycles) into the reporter's atomics: no lock, no allocation, no I/O.
// Stream-state and registry events arrive on the thread loop's own thread, which keeps the
// names of nodes and links so that messages can say which device the stream is linked to;
// other threads read them with the thread loop's lock taken, PipeWire's documented way in.
#pragma once

#include "OutputDevice.h"
#include "OutputReporter.h"

#include <pipewire/pipewire.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

struct OutputUnit;
struct spa_io_position;
struct spa_pod;
struct spa_pod_builder;

class PipeWireStream final : public OutputDevice {
public:
    static constexpr const char* requestedLatency = "256/44100";

    explicit PipeWireStream(OutputUnit* unit);
    ~PipeWireStream() override;
    PipeWireStream(const PipeWireStream&) = delete;
    PipeWireStream& operator=(const PipeWireStream&) = delete;

    // noDevice when no PipeWire daemon answers; streamFailed when one does but the stream
    // could not be made or ended in an error while starting.
    StartResult start(std::string& error) override;
    void stop() override;
    const std::string& description() const override { return startDescription; }
    uint64_t xrunCount() const override { return reporter.xrunCount(); }
    bool interrupted() const override { return reporter.interrupted(); }

    // The one stream format, 44100 Hz with two interleaved float32 channels, as the parameter
    // a stream is connected with.
    static const spa_pod* streamFormat(spa_pod_builder* builder);

    // Cycles rendered so far, and the graph's quantum and rate in the last one.
    uint64_t cycleCount() const { return cycles.load(std::memory_order_acquire); }
    uint32_t graphQuantum() const { return reporter.bufferFrames(); }
    uint32_t graphRateHz() const { return reporter.bufferRateHz(); }

private:
    static void onProcess(void* self);
    static void onStateChanged(void* self, pw_stream_state old, pw_stream_state state,
                               const char* error);
    static void onIoChanged(void* self, uint32_t id, void* area, uint32_t size);
    static void onCoreError(void* self, uint32_t id, int seq, int result, const char* message);
    static void onGlobal(void* self, uint32_t id, uint32_t permissions, const char* type,
                         uint32_t version, const spa_dict* props);
    static void onGlobalRemoved(void* self, uint32_t id);

    // Connects, makes the stream and waits for its first cycle; `playing` is what the start-up
    // line says.
    StartResult open(std::string& error, std::string& playing);
    // After the daemon ended the stream (it stopped or restarted): the stream made anew.
    bool reopen(std::string& error, std::string& playing);
    void process();
    void release();
    // "PipeWire, device "Speakers"": the sink the stream is linked to now. Takes the thread
    // loop's lock; never call it from PipeWire's threads.
    std::string describeNow();

    OutputUnit* unit;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_hook streamListener{};
    spa_hook coreListener{};
    spa_hook registryListener{};
    pw_stream_events streamEvents{};
    pw_core_events coreEvents{};
    pw_registry_events registryEvents{};

    std::atomic<spa_io_position*> position{nullptr};
    std::atomic<uint64_t> cycles{0};
    std::atomic<bool> streamed{false};
    // Data thread only: where the graph's clock stood after the last cycle.
    uint64_t nextClockPosition = 0;
    uint64_t lastQuantum = 0;
    uint32_t lastRate = 0;

    // Thread-loop thread, or with its lock: node names by id, links as (output, input) nodes.
    std::map<uint32_t, std::string> nodeNames;
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> links;

    OutputReporter reporter;
    std::string startDescription;
};
