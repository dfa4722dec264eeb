// Conversions between the double-valued platform sample time and the engine's unsigned 64-bit
// sample clock. A plain cast is undefined for negative, NaN or too large values; those saturate
// here instead, so a garbage stamp delays or hastens one event but never misbehaves.
#pragma once

#include <cmath>
#include <cstdint>

inline uint64_t truncateToUInt64(double value) {
    if (!(value > 0.0))
        return 0; // negative and NaN
    if (value >= 18446744073709551616.0)
        return UINT64_MAX;
    return uint64_t(value);
}

// Round half away from zero, as the parameter snapping and transport switch need.
inline double roundHalfAway(double value) {
    return std::round(value);
}

// int() of an event value: truncation toward zero, saturating where the cast would be undefined.
inline int truncateToInt(double value) {
    if (value != value)
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return int(value);
}
