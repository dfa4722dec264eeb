#include "Zelvar_CircularBuffer.h"

Zelvar_CircularBuffer::~Zelvar_CircularBuffer() {
    delete[] frames;
}

void Zelvar_CircularBuffer::initialize(int newSize) {
    delete[] frames;
    size = newSize < 2 ? 2 : newSize;
    frames = new st_double[size]();
    readPosition.store(0, std::memory_order_relaxed);
    writePosition.store(size / 2, std::memory_order_relaxed);
}

bool Zelvar_CircularBuffer::set(st_double frame) {
    if (frames == nullptr)
        return false;
    const int next = (writePosition.load(std::memory_order_relaxed) + 1) % size;
    if (next == readPosition.load(std::memory_order_acquire))
        return false;
    frames[next] = frame;
    writePosition.store(next, std::memory_order_release);
    return true;
}

st_double Zelvar_CircularBuffer::get() {
    if (frames == nullptr)
        return {0.0, 0.0};
    const int next = (readPosition.load(std::memory_order_relaxed) + 1) % size;
    if (next == writePosition.load(std::memory_order_acquire))
        return {0.0, 0.0};
    const st_double frame = frames[next];
    readPosition.store(next, std::memory_order_release);
    return frame;
}
