// Measuring helpers for per-sample units: the gain a unit applies to a rendered sine, read from
// one DFT bin over a whole number of cycles after the unit has settled.
#pragma once

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace sinegain {

constexpr double samplingRate = 44100.0;

// Amplitude of the component at frequencyHz in the signal (one DFT bin).
inline double amplitudeAt(const std::vector<double>& signal, double frequencyHz,
                          double rate = samplingRate) {
    std::complex<double> sum = 0.0;
    const double w = 2.0 * std::numbers::pi * frequencyHz / rate;
    for (size_t n = 0; n < signal.size(); ++n)
        sum += signal[n] * std::polar(1.0, -w * double(n));
    return 2.0 * std::abs(sum) / double(signal.size());
}

// Feeds a unit-amplitude sine at an integer frequency through process for two seconds and
// returns the output amplitude over the second second.
template <typename Process>
double gainAt(double frequencyHz, Process process, double rate = samplingRate) {
    const int n = int(rate);
    const double w = 2.0 * std::numbers::pi * frequencyHz / rate;
    for (int i = 0; i < n; ++i)
        process(std::sin(w * i));
    std::vector<double> out(n);
    for (int i = 0; i < n; ++i)
        out[i] = process(std::sin(w * (i + n)));
    return amplitudeAt(out, frequencyHz, rate);
}

} // namespace sinegain
