#include "OutputReporter.h"

#include "HostClock.h"
#include "OutputUnit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

OutputReporter::OutputReporter(const OutputUnit* owner, std::function<std::string()> describer)
    : unit(owner), describe(std::move(describer)) {}

OutputReporter::~OutputReporter() {
    stop();
}

void OutputReporter::noteBufferSize(uint32_t bufferFrames, uint32_t rateHz) {
    rate.store(rateHz, std::memory_order_relaxed);
    frames.store(bufferFrames, std::memory_order_relaxed);
}

void OutputReporter::noteStopped(const char* reason) {
    int expected = 0;
    if (!stopState.compare_exchange_strong(expected, 1, std::memory_order_acquire))
        return; // the first reason is the one worth telling
    const size_t length = std::min(std::strlen(reason), sizeof stopReason - 1);
    std::memcpy(stopReason, reason, length);
    stopReason[length] = '\0';
    stopState.store(2, std::memory_order_release);
}

std::string OutputReporter::bufferText(uint32_t bufferFrames, uint32_t rateHz) {
    if (bufferFrames == 0 || rateHz == 0)
        return "buffer size not known yet";
    char text[64];
    std::snprintf(text, sizeof text, "%u-frame buffers (%.1f ms)", bufferFrames,
                  1000.0 * bufferFrames / rateHz);
    return text;
}

void OutputReporter::start() {
    stopping = false;
    Told told;
    told.frames = frames.load(std::memory_order_relaxed);
    told.since = HostClock::nowNanoseconds(); // a stream that never asks counts from here
    thread = std::thread([this, told] { run(told); });
}

void OutputReporter::stop() {
    if (!thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void OutputReporter::run(Told told) {
    std::unique_lock<std::mutex> lock(wakeMutex);
    while (!wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping; })) {
        lock.unlock();
        report(told);
        lock.lock();
    }
}

void OutputReporter::report(Told& told) {
    if (!told.stop && stopped()) {
        std::fprintf(stderr, "Corvena: audio output stopped: %s: %s%s\n", describe().c_str(),
                     stopReason, reopen ? "; trying again every second" : "");
        told.stop = true;
        told.lastReopen = HostClock::nowNanoseconds();
        interruptedNow.store(true, std::memory_order_release);
    }
    if (told.stop) {
        // A stream that has ended is not silent, it is gone: said once above.
        tryReopen(told);
        return;
    }
    const uint32_t nowFrames = frames.load(std::memory_order_relaxed);
    if (nowFrames != told.frames && nowFrames != 0) {
        std::fprintf(stderr, "Corvena: %s now runs %s\n", describe().c_str(),
                     bufferText(nowFrames, rate.load(std::memory_order_relaxed)).c_str());
        told.frames = nowFrames;
    }
    if (!told.xrun && xrunCount() > 0) {
        std::fprintf(stderr,
                     "Corvena: audio output xrun on %s (further xruns are counted, not reported)\n",
                     describe().c_str());
        told.xrun = true;
    }
    const uint64_t last = unit->lastRenderHostTime.load(std::memory_order_acquire);
    told.since = std::max(told.since, last);
    if (!told.silent && HostClock::nowNanoseconds() > told.since + silenceNanoseconds) {
        std::fprintf(stderr,
                     "Corvena: no sound for 2 s: %s has not asked for audio although the "
                     "stream should be running\n",
                     describe().c_str());
        told.silent = true;
        told.silentAfter = last;
    } else if (told.silent && last > told.silentAfter) {
        std::fprintf(stderr, "Corvena: sound is back: %s asks for audio again\n",
                     describe().c_str());
        told.silent = false;
    }
}

void OutputReporter::tryReopen(Told& told) {
    const uint64_t now = HostClock::nowNanoseconds();
    if (!reopen || now < told.lastReopen + reopenNanoseconds)
        return;
    told.lastReopen = now;
    // The stop is forgotten before the new stream can note one of its own.
    clearStopped();
    std::string playing;
    if (!reopen(playing)) {
        if (!stopped())
            noteStopped("no server answers");
        return;
    }
    std::fprintf(stderr, "Corvena: sound is back: audio through %s\n", playing.c_str());
    const uint64_t reopened = HostClock::nowNanoseconds();
    told = Told{};
    told.frames = frames.load(std::memory_order_relaxed);
    told.xrun = xrunCount() > 0;
    told.since = reopened;
    interruptedNow.store(false, std::memory_order_release);
}
