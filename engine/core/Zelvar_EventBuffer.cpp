#include "Zelvar_EventBuffer.h"

#include "NumericConversion.h"

#include <cstring>
#include <thread>

Zelvar_EventBuffer::~Zelvar_EventBuffer() {
    delete[] events;
}

void Zelvar_EventBuffer::initialize(int newCapacity) {
    delete[] events;
    capacity = newCapacity < 3 ? 3 : newCapacity; // a smaller ring could never hold an event
    events = new DspEvent[capacity]();
    writeIndex.store(1, std::memory_order_relaxed);
    readIndex.store(0, std::memory_order_relaxed);
    std::memset(&pendingEvent, 0, sizeof pendingEvent);
}

bool Zelvar_EventBuffer::set(const DspEvent& event) {
    if (events == nullptr)
        return false;
    // Writers only ever wait for each other, for the length of one record copy.
    while (writerBusy.test_and_set(std::memory_order_acquire))
        std::this_thread::yield();
    const int write = writeIndex.load(std::memory_order_relaxed);
    const int next = (write + 1) % capacity;
    const bool stored = next != readIndex.load(std::memory_order_acquire);
    if (stored) {
        events[write] = event;
        writeIndex.store(next, std::memory_order_release);
    }
    writerBusy.clear(std::memory_order_release);
    return stored;
}

void Zelvar_EventBuffer::refillPending() {
    const int read = readIndex.load(std::memory_order_relaxed);
    const int write = writeIndex.load(std::memory_order_acquire);
    if (isEmpty(read, write)) {
        pendingEvent.eventType = EventTypeNone;
        return;
    }
    const int next = (read + 1) % capacity;
    pendingEvent = events[next];
    readIndex.store(next, std::memory_order_release);
}

uint64_t Zelvar_EventBuffer::nextDueTime() {
    if (events == nullptr)
        return UINT64_MAX;
    if (pendingEvent.eventType == EventTypeNone)
        refillPending();
    if (pendingEvent.eventType == EventTypeNone)
        return UINT64_MAX;
    return truncateToUInt64(pendingEvent.timeStamp.mSampleTime + double(DspEventLatencySamples));
}

bool Zelvar_EventBuffer::getEvent(uint64_t time, DspEvent* out) {
    // With nothing waiting the due time is UINT64_MAX, which a time of UINT64_MAX would reach.
    if (nextDueTime() > time || pendingEvent.eventType == EventTypeNone)
        return false;
    *out = pendingEvent;
    refillPending();
    return true;
}

DspEvent Zelvar_EventBuffer::get() {
    DspEvent event{};
    if (events == nullptr)
        return event;
    const int read = readIndex.load(std::memory_order_relaxed);
    const int write = writeIndex.load(std::memory_order_acquire);
    if (isEmpty(read, write))
        return event;
    const int next = (read + 1) % capacity;
    event = events[next];
    readIndex.store(next, std::memory_order_release);
    return event;
}

int Zelvar_EventBuffer::pointNormalize(int index) const {
    return capacity == 0 ? 0 : index % capacity;
}
