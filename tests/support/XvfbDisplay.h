// A virtual X display of the test's own: Xvfb started on a free display number (it names the
// number itself), ended with the object. A missing Xvfb fails the test that needs it.
#pragma once

#include <string>
#include <sys/types.h>

class XvfbDisplay {
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N", or empty when Xvfb could not start (with the reason in error()).
    const std::string& name() const { return display; }
    const std::string& error() const { return failure; }

private:
    pid_t pid = -1;
    std::string display;
    std::string failure;
};
