// One output unit: the stream format and render callback a host gives it, the running sample
// time it stamps buffers with, and — for a unit of the default-output component — the device
// that calls it, made by the factory its component gave it. Behind the opaque AudioUnit handle.
//
// The sample clock: mSampleTime counts the output's frames from 0 and mHostTime is the host
// time of the buffer's cycle — as the audio system's own clock gives it where it has one (the
// PipeWire graph, the JACK server), else when the buffer was asked for. The engine learns from
// the first buffer which host time was sample 0 and stamps events from the host clock against
// it, so the unit keeps the two clocks together: a stretch a device did not play (a first cycle
// followed by a pause while the graph settles, an xrun, a stream paused or unlinked, a server
// that stalled) is counted as if it had been played. Otherwise every event posted afterwards
// would wait for that stretch on top of the engine's 1024 samples.
#pragma once

#include "CorvenaAudioTypes.h"

#include <atomic>
#include <cstdint>
#include <string>

class OutputDevice;

struct OutputUnit {
    uint32_t subType = 0;
    bool initialized = false;
    bool running = false;
    AudioStreamBasicDescription format{};
    AURenderCallbackStruct callback{};
    double sampleTime = 0.0; // audio thread only once started
    // Set by the component that made the unit; none for a manual unit. A function pointer
    // crosses library copies of these services intact, which a registry would not.
    OutputDevice* (*createDevice)(OutputUnit* unit) = nullptr;
    OutputDevice* device = nullptr; // owned; exists while a default-output unit is started
    std::string errorText;          // why the last start failed; empty after a good start
    // Device-backed units follow the host clock over stretches the device skipped (above);
    // a manual unit is pulled at whatever pace its owner likes and never does.
    bool followsHostClock = false;

    // Written by the audio thread, read anywhere. The host time of sample 0, learnt from the
    // first buffer that had a render callback, as the engine learns it; 0 until then.
    std::atomic<uint64_t> hostTimeAtSampleZero{0};
    // The host time of the last buffer asked for (0 before the first): what a watchdog reads.
    std::atomic<uint64_t> lastRenderHostTime{0};
    // Frames counted as played over stretches the device skipped.
    std::atomic<uint64_t> skippedFrames{0};
    // The engine's share of an xrun: render callbacks so far, those that took more than half
    // their buffer's duration, and the longest, in CPU time of the audio thread (so time the
    // thread or the whole machine was not running does not count). A device can still report
    // xruns of its own (a late timer, another client), which these tell apart.
    std::atomic<uint64_t> renders{0};
    std::atomic<uint64_t> slowRenders{0};
    std::atomic<uint64_t> longestRenderNanoseconds{0};

    ~OutputUnit();

    // Hands the render callback one interleaved buffer of `frames` frames, stamped with the
    // unit's running sample time and `cycleHostTime` (0: the host clock now), then advances the
    // sample time. Without a callback the buffer is silence, never whatever the device left in
    // it.
    void renderInterleaved(uint32_t frames, float* interleaved, uint64_t cycleHostTime = 0);

    // The output's sample time at host time `hostNanoseconds`, on the clock the engine stamps
    // events with. False before the first buffer or for a time before sample 0.
    bool sampleTimeAt(uint64_t hostNanoseconds, double* outSampleTime) const;

private:
    void catchUpWithHostClock(uint64_t cycleHostTime, double allowedFrames);
};
