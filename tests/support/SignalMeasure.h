// Measurements on rendered signals for the oscillator tests: magnitude spectrum (FFTW) and
// pitch from zero crossings.
#pragma once

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace signaltest {

inline std::vector<double> render(int count, const std::function<double()>& next) {
    std::vector<double> out(static_cast<size_t>(count));
    for (double& v : out)
        v = next();
    return out;
}

// |X[k]| for k = 0 .. n/2 of the plain (rectangular-window) DFT. With a one-second render at
// an integer frequency every harmonic and every alias falls on an exact bin.
inline std::vector<double> magnitudeSpectrum(const std::vector<double>& signal) {
    const int n = static_cast<int>(signal.size());
    std::vector<double> input(signal);
    std::vector<std::complex<double>> output(static_cast<size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(
        n, input.data(), reinterpret_cast<fftw_complex*>(output.data()), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> magnitude(output.size());
    for (size_t k = 0; k < output.size(); ++k)
        magnitude[k] = std::abs(output[k]);
    return magnitude;
}

// Amplitude of a sinusoid sitting exactly on bin k of an n-point spectrum.
inline double amplitudeAt(const std::vector<double>& magnitude, int k, int n) {
    return 2.0 * magnitude[static_cast<size_t>(k)] / n;
}

// The strongest bin that is not a multiple of fundamentalBin (nor DC), in dB relative to the
// fundamental.
inline double worstAliasDb(const std::vector<double>& magnitude, int fundamentalBin) {
    double worst = 0.0;
    for (size_t k = 1; k < magnitude.size(); ++k) {
        if (k % static_cast<size_t>(fundamentalBin) != 0)
            worst = std::max(worst, magnitude[k]);
    }
    return 20.0 * std::log10(worst / magnitude[static_cast<size_t>(fundamentalBin)] + 1e-300);
}

// Frequency from the rising zero crossings, each located by linear interpolation; the period
// is the least-squares slope of crossing time over crossing number, so the small timing
// jitter of interpolating across steep band-limited edges averages out.
inline double pitchFromZeroCrossings(const std::vector<double>& x, double samplingRate) {
    std::vector<double> times;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0.0 && x[i] >= 0.0)
            times.push_back((i - 1) + x[i - 1] / (x[i - 1] - x[i]));
    }
    const double n = static_cast<double>(times.size());
    if (times.size() < 2)
        return 0.0;
    double meanIndex = (n - 1) / 2;
    double meanTime = 0.0;
    for (double t : times)
        meanTime += t / n;
    double covariance = 0.0;
    double variance = 0.0;
    for (size_t i = 0; i < times.size(); ++i) {
        covariance += (i - meanIndex) * (times[i] - meanTime);
        variance += (i - meanIndex) * (i - meanIndex);
    }
    return samplingRate * variance / covariance;
}

} // namespace signaltest
