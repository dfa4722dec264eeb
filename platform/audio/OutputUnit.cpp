#include "OutputUnit.h"

#include "HostClock.h"
#include "OutputDevice.h"
#include "OutputUnitServices.h"

#include <cmath>
#include <cstring>

#include <time.h>

namespace {

uint64_t threadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

// Nanoseconds from sample 0 to `sampleTime`, with the engine's arithmetic (Zelvar_Dsp's host
// time offset), so both sides agree to the nanosecond on which host time was sample 0.
uint64_t nanosecondsTo(double sampleTime) {
    return uint64_t(sampleTime / double(outputSampleRateHz) * 1000 * 1000 * 1000);
}

} // namespace

OutputUnit::~OutputUnit() {
    delete device;
}

void OutputUnit::renderInterleaved(uint32_t frames, float* interleaved, uint64_t cycleHostTime) {
    const bool systemClock = cycleHostTime != 0;
    const uint64_t now = systemClock ? cycleHostTime : HostClock::nowNanoseconds();
    // The audio system's cycle times do not wander with the scheduler, so a lag of a few
    // frames already is a skipped stretch. A callback's own wake-up time is late by however
    // long the thread waited to run: two buffers and a bit are allowed for that.
    if (followsHostClock)
        catchUpWithHostClock(now, systemClock ? 64.0 : 2.0 * frames + 512.0);
    AudioTimeStamp stamp{};
    stamp.mSampleTime = sampleTime;
    stamp.mHostTime = now;
    stamp.mRateScalar = 1.0;
    AudioBufferList list{};
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 2;
    list.mBuffers[0].mDataByteSize = frames * 2 * sizeof(float);
    list.mBuffers[0].mData = interleaved;
    uint32_t flags = 0;
    if (callback.inputProc != nullptr) {
        if (hostTimeAtSampleZero.load(std::memory_order_relaxed) == 0)
            hostTimeAtSampleZero.store(now - nanosecondsTo(sampleTime), std::memory_order_release);
        const uint64_t began = threadCpuNanoseconds();
        callback.inputProc(callback.inputProcRefCon, &flags, &stamp, 0, frames, &list);
        const uint64_t took = threadCpuNanoseconds() - began;
        renders.fetch_add(1, std::memory_order_relaxed);
        if (took * 2 * outputSampleRateHz > uint64_t(frames) * 1000000000ull)
            slowRenders.fetch_add(1, std::memory_order_relaxed);
        // Only the audio thread writes it, so a plain load-compare-store keeps the maximum.
        if (took > longestRenderNanoseconds.load(std::memory_order_relaxed))
            longestRenderNanoseconds.store(took, std::memory_order_relaxed);
    } else {
        std::memset(interleaved, 0, size_t(frames) * 2 * sizeof(float));
    }
    sampleTime += frames;
    lastRenderHostTime.store(now, std::memory_order_release);
}

// Beyond `allowedFrames` behind the host clock the device has skipped frames, and the sample
// time jumps over them, to where the host clock says it is. It never jumps backwards: a sample
// clock ahead of the host clock only makes events due a little sooner.
void OutputUnit::catchUpWithHostClock(uint64_t cycleHostTime, double allowedFrames) {
    double expected = 0.0;
    if (!sampleTimeAt(cycleHostTime, &expected))
        return;
    const double behind = std::floor(expected - sampleTime);
    if (behind > allowedFrames) {
        sampleTime += behind;
        skippedFrames.fetch_add(uint64_t(behind), std::memory_order_relaxed);
    }
}

bool OutputUnit::sampleTimeAt(uint64_t hostNanoseconds, double* outSampleTime) const {
    const uint64_t zero = hostTimeAtSampleZero.load(std::memory_order_acquire);
    if (zero == 0 || hostNanoseconds < zero)
        return false;
    *outSampleTime = double(hostNanoseconds - zero) / 1000000000.0 * double(outputSampleRateHz);
    return true;
}
