#include "Zelvar_RandomGenerator.h"

void Zelvar_RandomGenerator::setSeed(uint32_t seed) {
    // Seed 0 would make an all-zero state; the C library treats it as 1.
    int32_t word = seed == 0 ? 1 : int32_t(seed);
    state[0] = word;
    for (int i = 1; i < degree; ++i) {
        // 16807 x word mod (2^31 - 1) without overflow (Schrage's method).
        const int32_t hi = word / 127773;
        const int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0)
            word += 2147483647;
        state[i] = word;
    }
    front = separation;
    rear = 0;
    // The first 310 outputs carry the seed's linear structure; the C library discards them.
    for (int i = 0; i < 10 * degree; ++i)
        next();
}

int Zelvar_RandomGenerator::next() {
    const uint32_t sum = uint32_t(state[front]) + uint32_t(state[rear]);
    state[front] = int32_t(sum);
    front = front + 1 == degree ? 0 : front + 1;
    rear = rear + 1 == degree ? 0 : rear + 1;
    return int(sum >> 1);
}
