#include "TpdfDither.h"

#include <algorithm>
#include <cmath>

int32_t TpdfDither::quantize(float sample, int bits) {
    const double largest = double((int64_t(1) << (bits - 1)) - 1);
    // NaN never comes from the engine; should it, it becomes silence rather than undefined.
    const double x = std::isnan(sample) ? 0.0 : double(sample) * largest + next();
    return int32_t(std::clamp(std::floor(x + 0.5), -largest - 1.0, largest));
}
