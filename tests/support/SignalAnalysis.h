// Measurements on rendered audio, so tests can speak in hertz, decibels and samples.
#pragma once

#include <cstddef>
#include <vector>

namespace analysis {

// Frequency from the mean period between rising zero crossings (linearly interpolated) within
// [from, to). Returns 0 when fewer than two crossings are found.
double frequencyByZeroCrossings(const std::vector<float>& samples, size_t from, size_t to,
                                double sampleRate = 44100.0);

// Frequency from the median period between rising zero crossings within [from, to). A device
// that skips a cycle puts one odd period into a recording; the median passes over it where the
// mean would not. 0 with fewer than three crossings.
double medianPeriodFrequency(const std::vector<float>& samples, size_t from, size_t to,
                             double sampleRate = 44100.0);

// The longest run of consecutive samples whose magnitude stays below `threshold` within
// [from, to): a gap in a tone that should sound throughout.
size_t longestQuietRun(const std::vector<float>& samples, size_t from, size_t to, double threshold);

// Largest absolute sample within [from, to).
double peak(const std::vector<float>& samples, size_t from, size_t to);

// Root mean square within [from, to).
double rms(const std::vector<float>& samples, size_t from, size_t to);

// Amplitude of the component at `frequency` within [from, to), Hann-windowed single-bin DFT,
// scaled so a sine of amplitude A reads A.
double amplitudeAt(const std::vector<float>& samples, size_t from, size_t to, double frequency,
                   double sampleRate = 44100.0);

// Index of the first sample whose magnitude exceeds `threshold`, or samples.size().
size_t firstAbove(const std::vector<float>& samples, double threshold, size_t from = 0);

// Largest absolute difference between neighbouring samples within [from, to): a click detector.
double largestStep(const std::vector<float>& samples, size_t from, size_t to);

} // namespace analysis
