#include "ParameterCallback.h"

#include <charconv>
#include <cstdio>

std::string parameterCallbackLine(double value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return "Parameter Callback : " + std::string(digits, result.ptr);
}

void parameterCallback(double value) {
    // One write per line, so lines from different threads do not interleave.
    const std::string line = parameterCallbackLine(value) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}
