// The level of what a render writes, measured after the gain and before dither and
// quantisation: the peak, and how many samples went beyond full scale (those a PCM file clips,
// and those a float file carries above 1.0, which most players clip).
#pragma once

#include <cstdint>

class OutputLevel {
public:
    void measure(const float* samples, uint32_t count);

    double peak() const { return largest; }
    // −infinity for silence.
    double peakDecibels() const;
    uint64_t samplesOverFullScale() const { return over; }

private:
    double largest = 0.0;
    uint64_t over = 0;
};
