// Measurements on rendered signals, so tests can speak in hertz, decibels and samples: pitch
// from zero crossings, amplitude at a frequency, levels and clicks. Signals are float (what the
// engine writes) or double (what a unit returns); ranges are [from, to) in samples, clipped to
// the signal. The spectrum of a whole signal is in Spectrum.h.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <numbers>
#include <span>
#include <vector>

namespace analysis {

// `count` successive values of a unit.
std::vector<double> render(int count, const std::function<double()>& next);

// Rising zero crossings within [from, to), each located by linear interpolation between the
// samples around it.
std::vector<double> risingZeroCrossings(std::span<const float> samples, size_t from = 0,
                                        size_t to = SIZE_MAX);
std::vector<double> risingZeroCrossings(std::span<const double> samples, size_t from = 0,
                                        size_t to = SIZE_MAX);

// Frequency from crossing positions: the period is the least-squares slope of crossing time over
// crossing number, so the small timing jitter of interpolating across steep band-limited edges
// averages out. 0 for fewer than two crossings.
double frequencyFromCrossings(const std::vector<double>& crossings, double sampleRate);

// Frequency from the rising zero crossings within [from, to).
double frequencyByZeroCrossings(std::span<const float> samples, size_t from, size_t to,
                                double sampleRate = 44100.0);
double frequencyByZeroCrossings(std::span<const double> samples, size_t from, size_t to,
                                double sampleRate = 44100.0);

// Single-bin DFT windows. The Hann window reads any frequency over any range; the rectangular one
// is exact and needs a whole number of cycles in the range.
enum class Window { hann, rectangular };

// Amplitude of the component at `frequency` within [from, to), scaled so a sine of amplitude A
// reads A.
double amplitudeAt(std::span<const float> samples, size_t from, size_t to, double frequency,
                   double sampleRate = 44100.0, Window window = Window::hann);
double amplitudeAt(std::span<const double> samples, size_t from, size_t to, double frequency,
                   double sampleRate = 44100.0, Window window = Window::hann);

// The gain a per-sample unit applies to a unit-amplitude sine at a whole frequency: one second to
// settle, then the output amplitude over the next second.
template <typename Process>
double gainAt(double frequencyHz, Process process, double sampleRate = 44100.0) {
    const int n = int(sampleRate);
    const double w = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    for (int i = 0; i < n; ++i)
        process(std::sin(w * i));
    std::vector<double> out(n);
    for (int i = 0; i < n; ++i)
        out[i] = process(std::sin(w * (i + n)));
    return amplitudeAt(out, 0, out.size(), frequencyHz, sampleRate, Window::rectangular);
}

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

// Index of the first sample whose magnitude exceeds `threshold`, or samples.size().
size_t firstAbove(const std::vector<float>& samples, double threshold, size_t from = 0);

// What is left within [from, to) once the sinusoid at `frequency` that fits best (least squares,
// any amplitude and phase) is taken out, in decibels relative to that sinusoid's power: noise,
// aliases and distortion of a converter or filter fed a pure tone. 0 for an empty range.
double residualAfterTone(std::span<const float> samples, size_t from, size_t to, double frequency,
                         double sampleRate);

// Largest absolute difference between neighbouring samples within [from, to): a click detector.
double largestStep(const std::vector<float>& samples, size_t from, size_t to);

} // namespace analysis
