// A fixed ring of stereo frames with one writer and one reader, for captured audio input. The
// reader starts half a ring behind the writer. Positions are atomics: the writer and the reader
// may be different threads (an input device callback and whoever consumes the capture).
#pragma once

#include <atomic>

struct st_double {
    double left;
    double right;
};

class Zelvar_CircularBuffer {
public:
    Zelvar_CircularBuffer() = default;
    ~Zelvar_CircularBuffer();
    Zelvar_CircularBuffer(const Zelvar_CircularBuffer&) = delete;
    Zelvar_CircularBuffer& operator=(const Zelvar_CircularBuffer&) = delete;

    void initialize(int size);
    bool set(st_double frame);
    st_double get();
    int pointNormalize(int i) const { return size == 0 ? 0 : i % size; }

private:
    st_double* frames = nullptr;
    int size = 0;
    std::atomic<int> writePosition{0};
    std::atomic<int> readPosition{0};
};
