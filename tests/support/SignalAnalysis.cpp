#include "SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {

namespace {

template <typename Sample>
std::vector<double> crossingsOf(std::span<const Sample> samples, size_t from, size_t to) {
    to = std::min(to, samples.size());
    std::vector<double> at;
    for (size_t i = from + 1; i < to; ++i) {
        const double a = samples[i - 1], b = samples[i];
        if (a < 0.0 && b >= 0.0)
            at.push_back(double(i - 1) + a / (a - b));
    }
    return at;
}

template <typename Sample>
double amplitudeOf(std::span<const Sample> samples, size_t from, size_t to, double frequency,
                   double sampleRate, Window window) {
    to = std::min(to, samples.size());
    if (to <= from)
        return 0.0;
    const size_t n = to - from;
    double re = 0.0, im = 0.0, weightSum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double weight =
            window == Window::hann
                ? 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(i) / double(n))
                : 1.0;
        const double phase = 2.0 * std::numbers::pi * frequency * double(i) / sampleRate;
        re += weight * samples[from + i] * std::cos(phase);
        im -= weight * samples[from + i] * std::sin(phase);
        weightSum += weight;
    }
    return 2.0 * std::hypot(re, im) / weightSum;
}

} // namespace

std::vector<double> render(int count, const std::function<double()>& next) {
    std::vector<double> out(static_cast<size_t>(count));
    for (double& v : out)
        v = next();
    return out;
}

std::vector<double> risingZeroCrossings(std::span<const float> samples, size_t from, size_t to) {
    return crossingsOf(samples, from, to);
}

std::vector<double> risingZeroCrossings(std::span<const double> samples, size_t from, size_t to) {
    return crossingsOf(samples, from, to);
}

double frequencyFromCrossings(const std::vector<double>& crossings, double sampleRate) {
    if (crossings.size() < 2)
        return 0.0;
    const double n = double(crossings.size());
    const double meanIndex = (n - 1) / 2;
    double meanTime = 0.0;
    for (double t : crossings)
        meanTime += t / n;
    double covariance = 0.0, variance = 0.0;
    for (size_t i = 0; i < crossings.size(); ++i) {
        covariance += (double(i) - meanIndex) * (crossings[i] - meanTime);
        variance += (double(i) - meanIndex) * (double(i) - meanIndex);
    }
    return sampleRate * variance / covariance;
}

double frequencyByZeroCrossings(std::span<const float> samples, size_t from, size_t to,
                                double sampleRate) {
    return frequencyFromCrossings(crossingsOf(samples, from, to), sampleRate);
}

double frequencyByZeroCrossings(std::span<const double> samples, size_t from, size_t to,
                                double sampleRate) {
    return frequencyFromCrossings(crossingsOf(samples, from, to), sampleRate);
}

double amplitudeAt(std::span<const float> samples, size_t from, size_t to, double frequency,
                   double sampleRate, Window window) {
    return amplitudeOf(samples, from, to, frequency, sampleRate, window);
}

double amplitudeAt(std::span<const double> samples, size_t from, size_t to, double frequency,
                   double sampleRate, Window window) {
    return amplitudeOf(samples, from, to, frequency, sampleRate, window);
}

double medianPeriodFrequency(const std::vector<float>& samples, size_t from, size_t to,
                             double sampleRate) {
    const std::vector<double> crossings = crossingsOf(std::span<const float>(samples), from, to);
    if (crossings.size() < 3)
        return 0.0;
    std::vector<double> periods;
    for (size_t i = 1; i < crossings.size(); ++i)
        periods.push_back(crossings[i] - crossings[i - 1]);
    std::nth_element(periods.begin(), periods.begin() + long(periods.size() / 2), periods.end());
    return sampleRate / periods[periods.size() / 2];
}

size_t longestQuietRun(const std::vector<float>& samples, size_t from, size_t to,
                       double threshold) {
    size_t longest = 0, run = 0;
    for (size_t i = from; i < std::min(to, samples.size()); ++i) {
        run = std::fabs(samples[i]) < threshold ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

double peak(const std::vector<float>& samples, size_t from, size_t to) {
    double result = 0.0;
    for (size_t i = from; i < std::min(to, samples.size()); ++i)
        result = std::max(result, double(std::fabs(samples[i])));
    return result;
}

double residualAfterTone(std::span<const float> samples, size_t from, size_t to, double frequency,
                         double sampleRate) {
    to = std::min(to, samples.size());
    if (to <= from)
        return 0.0;
    // Normal equations of x ~ a sin + b cos: the two basis vectors are not quite orthogonal
    // over a range that is not a whole number of cycles.
    double ss = 0.0, cc = 0.0, sc = 0.0, sx = 0.0, cx = 0.0;
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    for (size_t n = from; n < to; ++n) {
        const double s = std::sin(w * double(n)), c = std::cos(w * double(n));
        ss += s * s;
        cc += c * c;
        sc += s * c;
        sx += s * samples[n];
        cx += c * samples[n];
    }
    const double determinant = ss * cc - sc * sc;
    const double a = (sx * cc - cx * sc) / determinant;
    const double b = (cx * ss - sx * sc) / determinant;
    double tone = 0.0, rest = 0.0;
    for (size_t n = from; n < to; ++n) {
        const double fit = a * std::sin(w * double(n)) + b * std::cos(w * double(n));
        tone += fit * fit;
        rest += (samples[n] - fit) * (samples[n] - fit);
    }
    return 10.0 * std::log10(std::max(rest, 1e-300) / tone);
}

double rms(const std::vector<float>& samples, size_t from, size_t to) {
    to = std::min(to, samples.size());
    if (to <= from)
        return 0.0;
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

size_t firstAbove(const std::vector<float>& samples, double threshold, size_t from) {
    for (size_t i = from; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > threshold)
            return i;
    return samples.size();
}

double largestStep(const std::vector<float>& samples, size_t from, size_t to) {
    double result = 0.0;
    for (size_t i = std::max<size_t>(from, 1); i < std::min(to, samples.size()); ++i)
        result = std::max(result, double(std::fabs(samples[i] - samples[i - 1])));
    return result;
}

} // namespace analysis
