// One write per line, so lines from different threads never interleave.
#include "Log.h"

#include <cstdio>
#include <string>

namespace toolkit {

void Log::line(std::string_view message) {
    std::string text(message);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace toolkit
