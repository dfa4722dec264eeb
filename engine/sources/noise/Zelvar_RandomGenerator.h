// A per-engine pseudo-random generator for the noise registers' seeds. It draws exactly the
// sequence of the C library's rand() on this platform (glibc's additive feedback generator,
// r[i] = r[i-3] + r[i-31], seeded through 16807 x mod 2^31 - 1), so the sound stays what it
// was, but it belongs to one engine: the audio thread takes no process-wide lock, and engines
// rendering on different threads do not disturb each other's sequence.
#pragma once

#include <cstdint>

class Zelvar_RandomGenerator {
public:
    explicit Zelvar_RandomGenerator(uint32_t seed = 1) { setSeed(seed); }

    // The sequence rand() gives after srand(seed).
    void setSeed(uint32_t seed);
    // 0 .. 2^31 - 1 (RAND_MAX of the sequence it reproduces).
    int next();

private:
    static constexpr int degree = 31;
    static constexpr int separation = 3;

    int32_t state[degree];
    int front = separation;
    int rear = 0;
};
