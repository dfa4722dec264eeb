#include "OutputLevel.h"

#include <cmath>
#include <limits>

void OutputLevel::measure(const float* samples, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const double magnitude = std::fabs(double(samples[i]));
        if (magnitude > largest)
            largest = magnitude;
        if (magnitude > 1.0)
            ++over;
    }
}

double OutputLevel::peakDecibels() const {
    return largest > 0.0 ? 20.0 * std::log10(largest) : -std::numeric_limits<double>::infinity();
}
