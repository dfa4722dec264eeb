// The event ring between the posting threads and the audio thread.
//
// Events wait here in arrival order until their stamp plus DspEventLatencySamples (1024) is
// reached; the oldest event already taken out of the ring but not yet due waits in
// pendingEvent. One reader (the audio thread) never waits. Writers may be several threads at
// once (the main thread and the MIDI thread both post): they take turns on a writer flag among
// themselves, so the reader never sees a half-written slot and never blocks.
#pragma once

#include "Corvena_Core.h"

#include <atomic>
#include <cstdint>

class Zelvar_EventBuffer {
public:
    Zelvar_EventBuffer() = default;
    ~Zelvar_EventBuffer();
    Zelvar_EventBuffer(const Zelvar_EventBuffer&) = delete;
    Zelvar_EventBuffer& operator=(const Zelvar_EventBuffer&) = delete;

    void initialize(int capacity);
    // Returns false when the event was dropped because the ring is full.
    bool set(const DspEvent& event);
    bool getEvent(uint64_t time, DspEvent* out);
    // The sample time at which the oldest waiting event falls due (getEvent hands nothing out
    // before it), or UINT64_MAX when no event waits. Reader side, like getEvent.
    uint64_t nextDueTime();
    DspEvent get();
    int pointNormalize(int index) const;

private:
    bool isEmpty(int read, int write) const { return (read + 1) % capacity == write; }
    void refillPending();

    DspEvent* events = nullptr;
    int capacity = 0;
    std::atomic<int> writeIndex{1};
    std::atomic<int> readIndex{0};
    DspEvent pendingEvent{};
    std::atomic_flag writerBusy = ATOMIC_FLAG_INIT;
};
