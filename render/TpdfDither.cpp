#include "TpdfDither.h"

#include <algorithm>
#include <cmath>

int32_t TpdfDither::quantize(float sample, int bits) {
    // A NaN draws no dither, so the samples after it are dithered as they always were.
    return toInteger(sample, bits, std::isnan(sample) ? 0.0 : next());
}

int32_t TpdfDither::toInteger(float sample, int bits, double offset) {
    const double largest = double((int64_t(1) << (bits - 1)) - 1);
    const double x = std::isnan(sample) ? 0.0 : double(sample) * largest + offset;
    return int32_t(std::clamp(std::floor(x + 0.5), -largest - 1.0, largest));
}
