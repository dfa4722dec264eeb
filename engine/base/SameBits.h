// Exact equality of two doubles' bits. Equal inputs to a pure computation give equal outputs, so
// a derived value (filter coefficients, a sine, a power) keyed this way can be reused without
// changing one bit of the result; a NaN matches itself, and -0 and +0 stay apart.
#pragma once

#include <bit>
#include <cstdint>

inline bool sameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}
