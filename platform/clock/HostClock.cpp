#include "HostClock.h"

#include <time.h>

uint64_t HostClock::nowNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

uint64_t HostClock::earlierBy(uint64_t nowNanoseconds, uint64_t otherNowMicroseconds,
                              uint64_t otherThenMicroseconds) {
    if (otherThenMicroseconds >= otherNowMicroseconds)
        return nowNanoseconds;
    const uint64_t ago = (otherNowMicroseconds - otherThenMicroseconds) * 1000u;
    return ago < nowNanoseconds ? nowNanoseconds - ago : nowNanoseconds;
}
