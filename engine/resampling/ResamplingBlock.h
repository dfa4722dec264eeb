// The block geometry both FFT resamplers share: F frames at the low rate make a block of
// M = F × L slots at L times that rate, low-passed in half-overlapping blocks.
#pragma once

#include "VectorFft.h"

#include <cstdint>

// M for a frame length F and factor L, or 0 when refused: F must be even and at least 2, L at
// least 1, and M within the lengths the FFT supports.
inline int resamplingBlockLength(int frameLength, int factor) {
    if (frameLength < 2 || frameLength % 2 != 0 || factor < 1)
        return 0;
    const int64_t m = int64_t(frameLength) * factor;
    return m > (int64_t(1) << VectorFftSetup::maxLog2Length) ? 0 : int(m);
}
