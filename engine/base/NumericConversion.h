// Conversions from double to the integers the engine counts with. A plain cast is undefined for
// NaN and for values its type cannot hold; each conversion here is defined for every input, so a
// garbage stamp, event value or frequency shifts one result but never misbehaves. They differ in
// what lies outside their range, because their callers do: a sample time or a count is never
// negative, a note number may be, a sequencer offset is held far below the sample clock's wrap.
#pragma once

#include <cmath>
#include <cstdint>

// A sample time: negative values and NaN give 0, values from 2^64 up give UINT64_MAX.
inline uint64_t truncateToUInt64(double value) {
    if (!(value > 0.0))
        return 0; // negative and NaN
    if (value >= 18446744073709551616.0)
        return UINT64_MAX;
    return uint64_t(value);
}

// int() of an event value or a frequency ratio: truncation toward zero, saturating at INT_MIN and
// INT_MAX, NaN giving 0.
inline int truncateToInt(double value) {
    if (value != value)
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return int(value);
}

// A count of harmonics or samples: truncation into [0, most]; NaN and negative values give 0.
inline int truncateToCount(double value, int most) {
    if (!(value >= 0.0))
        return 0;
    if (value > double(most))
        return most;
    return int(value);
}

// A signed sample offset held within [-bound, bound] (bound exactly representable as a double),
// NaN giving 0.
inline int64_t truncateToInt64Within(double value, int64_t bound) {
    if (std::isnan(value))
        return 0;
    if (value >= double(bound))
        return bound;
    if (value <= -double(bound))
        return -bound;
    return int64_t(value);
}

// Round half away from zero, as the parameter snapping and transport switch need.
inline double roundHalfAway(double value) {
    return std::round(value);
}
