// Readout formatting. Numbers are written with std::to_chars, which ignores the C locale that
// the toolkit sets from the environment: the readout reads the same on every desktop.
#include "ParameterReadout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr double tiny = 0.001;

// `value` rounded to three significant digits, through its decimal form so that the digits
// shown are the digits rounded (no binary near-misses such as 1.4449999 for 1.445).
double roundToThreeDigits(double value) {
    std::array<char, 32> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::scientific, 2);
    double rounded = value;
    std::from_chars(buffer.data(), written.ptr, rounded);
    return rounded;
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// A counted unit in the number its value asks for: "octaves" for 2, "octave" for 1 and −1.
std::string countedUnit(std::string_view unit, double value) {
    if (std::fabs(value) == 1.0 && unit.size() > 1 && unit.back() == 's')
        return std::string(unit.substr(0, unit.size() - 1));
    return std::string(unit);
}

} // namespace

double ParameterReadout::snapped(int32_t steps, double normalizedValue) {
    if (steps < 2)
        return normalizedValue;
    const double last = static_cast<double>(steps - 1);
    return std::round(normalizedValue * last) / last;
}

std::string ParameterReadout::formatNumber(double value, bool signed_) {
    if (std::isnan(value))
        return "?";
    if (std::isinf(value))
        return value > 0 ? (signed_ ? "+inf" : "inf") : "-inf";
    const double r = roundToThreeDigits(value);
    if (r == 0.0)
        return "0";
    if (std::fabs(r) < tiny)
        return r > 0 ? "< 0.001" : "> -0.001";
    // Decimals for three significant digits: 2 for 1.25, 0 for 125 and above.
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(r))));
    const int decimals = std::max(0, 2 - magnitude);
    std::array<char, 400> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), r,
                                       std::chars_format::fixed, decimals);
    std::string digits(buffer.data(), written.ptr);
    if (digits.find('.') != std::string::npos) {
        digits.erase(digits.find_last_not_of('0') + 1);
        if (digits.back() == '.')
            digits.pop_back();
    }
    return (signed_ && r > 0 ? "+" : "") + digits;
}

std::string ParameterReadout::valueText(ParameterType type, double normalizedValue) {
    ParameterDescription d;
    if (!DspGetParameterDescription(type, &d))
        return "";
    const double n = snapped(d.steps, normalizedValue);
    if (d.valueLabels != nullptr) {
        // Named positions: the engine's position for n, held to the names there are.
        const double last = static_cast<double>(std::max(d.steps - 1, 0));
        const double position = std::isnan(n) ? 0.0 : std::clamp(std::round(n * last), 0.0, last);
        return d.valueLabels[static_cast<int>(position)];
    }
    const double v = DspGetScaledValue(type, n);
    const bool signed_ = d.minValue < 0.0;
    const std::string_view unit = d.unit != nullptr ? d.unit : "";
    if (unit.empty())
        return formatNumber(v, signed_);
    if (unit == "Hz") {
        if (std::fabs(roundToThreeDigits(v)) >= 1000.0)
            return formatNumber(v / 1000.0, signed_) + " kHz";
        return formatNumber(v, signed_) + " Hz";
    }
    if (unit == "s") {
        if (std::fabs(roundToThreeDigits(v)) < 1.0)
            return formatNumber(v * 1000.0, signed_) + " ms";
        return formatNumber(v, signed_) + " s";
    }
    // A counted unit, left out where the name says it already.
    const std::string number = formatNumber(v, signed_);
    const std::string unitWord = countedUnit(unit, 1.0);
    if (d.name != nullptr && lowerCase(d.name).find(lowerCase(unitWord)) != std::string::npos)
        return number;
    return number + " " + countedUnit(unit, roundToThreeDigits(v));
}

std::string ParameterReadout::text(ParameterType type, double normalizedValue) {
    ParameterDescription d;
    if (!DspGetParameterDescription(type, &d))
        return "";
    return std::string(d.name) + " " + valueText(type, normalizedValue);
}
