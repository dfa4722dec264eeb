// The engine's 44.1 kHz stereo at the host's rate, and the engine's sample clock in host frames.
//
// The engine always runs at 44100 Hz. At that host rate this passes its output through
// untouched (bit-exact, no latency). At any other rate it pulls the engine through the shared
// RateConverter, which renders the engine exactly as far as the output needs: 37 frames
// (0.77 ms) of latency at 48 kHz and a small fraction of the engine's own CPU. The output is
// time-aligned (engine frame m lands on host frame m * rate / 44100), but the converter reads
// ahead of what it has written, so an event for host frame k is placed on the engine frame heard
// `getLatencyFrames()` later: that many frames is what a plugin reports on its latency port and
// what a file renderer trims.
//
// The engine is rendered here only, on its own sample clock: engine frame n is rendered at
// mSampleTime DspEventLatencySamples + n, so an event stamped n acts on frame n exactly (the
// engine acts that many samples, 1024, after a stamp), and every stamp is >= 0. Hosts stamp their
// events with `stampForHostFrame` and post them before the `render` call that covers the frame.
//
// All memory is taken at construction; `render` and `stampForHostFrame` never allocate, lock
// or do I/O.
#pragma once

#include "Corvena_Core.h"
#include "RateConverter.h"

#include <cstdint>
#include <memory>

class EngineResampler {
public:
    static constexpr double engineRate = 44100.0;
    static constexpr double lowestHostRate = 8000.0;
    static constexpr double highestHostRate = 768000.0;
    // A bound on the engine frames the converter renders beyond what the latency accounts for
    // (it renders none: the bound is the margin a host scheduling ahead can keep).
    static constexpr uint32_t pullFrames = 16;

    // `engine` is initialised and renders nowhere else. A rate outside the range above, or one
    // the converter cannot take, leaves the resampler not ready, with a reason.
    EngineResampler(DspObject engine, double hostRate);
    ~EngineResampler();
    EngineResampler(const EngineResampler&) = delete;
    EngineResampler& operator=(const EngineResampler&) = delete;

    bool isReady() const { return ready; }
    const char* failure() const { return failureReason; }
    bool isPassThrough() const { return converter == nullptr && ready; }
    uint32_t getLatencyFrames() const { return latencyFrames; }
    uint64_t getHostFramesRendered() const { return hostFrames; }
    uint64_t getEngineFramesRendered() const { return engineFrames; }

    // The mSampleTime to stamp an event with so that it sounds at host frame `frame` of the next
    // render call (plus the latency). Never a frame the engine has already rendered; one that
    // would have been is counted as late (which the latency is chosen to prevent).
    double stampForHostFrame(uint64_t frame);
    // The same for a host that schedules on the engine's own frames (a file renderer): the
    // stamp of engine frame `frame`, held to the first frame not yet rendered and counted as
    // late when it had to be.
    double stampForEngineFrame(uint64_t frame);
    uint64_t getLateStampCount() const { return lateStamps; }

    // Renders `frames` host frames; a null channel is rendered and dropped.
    void render(float* left, float* right, uint32_t frames);

private:
    static constexpr uint32_t outputFrames = 256; // host frames per converter read
    static constexpr uint32_t passThroughFrames = 4096;

    static void pull(void* self, float* interleaved, uint32_t frames);
    void renderEngine(float* interleaved, uint32_t frames);
    void renderEngine(float* left, float* right, uint32_t frames);
    void renderPassThrough(float* left, float* right, uint32_t frames);
    void renderConverted(float* left, float* right, uint32_t frames);
    void fail(const char* reason);

    DspObject engine;
    double hostRate;
    bool ready = false;
    const char* failureReason = "";
    std::unique_ptr<RateConverter> converter;
    uint32_t latencyFrames = 0;
    uint64_t hostFrames = 0;
    uint64_t engineFrames = 0;
    uint64_t lateStamps = 0;
    std::unique_ptr<float[]> outputBuffer; // outputFrames interleaved stereo frames
    std::unique_ptr<float[]> scratch;      // passThroughFrames frames for a dropped channel
};
