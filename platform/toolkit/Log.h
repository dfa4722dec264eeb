// The diagnostic log: one line of text on standard error per call, safe from any thread.
#pragma once

#include <string_view>

namespace toolkit {

class Log {
public:
    static void line(std::string_view message);
};

} // namespace toolkit
