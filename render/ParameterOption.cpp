#include "ParameterOption.h"

#include "OfferedParameters.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <strings.h>

namespace {

bool describe(ParameterType type, ParameterDescription& description) {
    return DspGetParameterDescription(type, &description) != 0;
}

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string withUnit(double value, const char* unit) {
    return *unit != '\0' ? formatNumber(value) + " " + unit : formatNumber(value);
}

std::string positionNames(const ParameterDescription& description) {
    std::string names;
    for (int i = 0; i < description.steps; ++i)
        names += (i > 0 ? ", " : "") + std::string(description.valueLabels[i]);
    return names;
}

} // namespace

bool ParameterOption::parseNumber(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin; // from_chars takes no plus sign
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

ParameterType ParameterOption::find(const std::string& name) {
    for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
        ParameterDescription description;
        if (describe(type, description) && (strcasecmp(name.c_str(), description.name) == 0 ||
                                            strcasecmp(name.c_str(), description.symbol) == 0))
            return type;
    }
    return ParameterTypeNone;
}

bool ParameterOption::parse(const std::string& text, ParameterSetting& setting,
                            std::string& error) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = "--set takes NAME=VALUE, not \"" + text + "\"";
        return false;
    }
    const std::string name = text.substr(0, equals);
    const std::string valueText = text.substr(equals + 1);
    const ParameterType type = find(name);
    ParameterDescription description;
    if (type == ParameterTypeNone || !describe(type, description)) {
        error = "unknown parameter \"" + name + "\" (--list-parameters lists them)";
        return false;
    }
    if (!OfferedParameters::offers(type)) {
        error = std::string(description.symbol) + ": " + OfferedParameters::whyNotOffered(type);
        return false;
    }
    double value = 0.0;
    bool known = parseNumber(valueText, value);
    if (!known && description.valueLabels != nullptr) {
        for (int i = 0; i < description.steps && !known; ++i) {
            if (strcasecmp(valueText.c_str(), description.valueLabels[i]) == 0) {
                value = DspGetScaledValue(type, double(i) / (description.steps - 1));
                known = true;
            }
        }
    }
    if (!known) {
        error = std::string(description.symbol) + ": \"" + valueText + "\" is not a number";
        if (description.valueLabels != nullptr)
            error += " or one of " + positionNames(description);
        return false;
    }
    if (value < description.minValue || value > description.maxValue) {
        error = std::string(description.symbol) + ": " + withUnit(value, description.unit) +
                " is outside " + formatNumber(description.minValue) + " to " +
                withUnit(description.maxValue, description.unit);
        return false;
    }
    setting.type = type;
    setting.value = value;
    setting.normalized = DspGetNormalizedValue(type, value);
    return true;
}

std::string ParameterOption::listing() {
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, "%-24s %-15s %-22s %s\n", "Name", "Symbol", "Range",
                  "Default");
    text += line;
    for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
        ParameterDescription d;
        if (!OfferedParameters::offers(type) || !describe(type, d))
            continue;
        const std::string range = formatNumber(d.minValue) + " to " + withUnit(d.maxValue, d.unit);
        std::string defaultText = withUnit(d.defaultValue, d.unit);
        if (d.valueLabels != nullptr) {
            const long position =
                std::lround(DspGetNormalizedValue(type, d.defaultValue) * (d.steps - 1));
            defaultText = d.valueLabels[position] + std::string(" (") + positionNames(d) + ")";
        }
        std::snprintf(line, sizeof line, "%-24s %-15s %-22s %s\n", d.name, d.symbol, range.c_str(),
                      defaultText.c_str());
        text += line;
    }
    return text;
}
