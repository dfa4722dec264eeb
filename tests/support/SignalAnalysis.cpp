#include "SignalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {

double frequencyByZeroCrossings(const std::vector<float>& samples, size_t from, size_t to,
                                double sampleRate) {
    to = std::min(to, samples.size());
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        const double a = samples[i - 1], b = samples[i];
        if (a < 0.0 && b >= 0.0) {
            const double position = double(i - 1) + (-a) / (b - a);
            if (first < 0.0)
                first = position;
            last = position;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return sampleRate * (crossings - 1) / (last - first);
}

double medianPeriodFrequency(const std::vector<float>& samples, size_t from, size_t to,
                             double sampleRate) {
    std::vector<double> crossings;
    for (size_t i = from + 1; i < std::min(to, samples.size()); ++i)
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            crossings.push_back(double(i - 1) +
                                double(samples[i - 1]) / double(samples[i - 1] - samples[i]));
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

double rms(const std::vector<float>& samples, size_t from, size_t to) {
    to = std::min(to, samples.size());
    if (to <= from)
        return 0.0;
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

double amplitudeAt(const std::vector<float>& samples, size_t from, size_t to, double frequency,
                   double sampleRate) {
    to = std::min(to, samples.size());
    const size_t n = to - from;
    double re = 0.0, im = 0.0, windowSum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(i) / double(n));
        const double phase = 2.0 * std::numbers::pi * frequency * double(i) / sampleRate;
        re += window * samples[from + i] * std::cos(phase);
        im -= window * samples[from + i] * std::sin(phase);
        windowSum += window;
    }
    return 2.0 * std::hypot(re, im) / windowSum;
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
