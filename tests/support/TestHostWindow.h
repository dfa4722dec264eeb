// A host's window on an X display, mapped, for a plugin window to be embedded into: what a DAW
// gives a plugin's editor. Closed with the object.
#pragma once

#include <string>

struct _XDisplay;

class TestHostWindow {
public:
    TestHostWindow(const std::string& display, int width, int height);
    ~TestHostWindow();
    TestHostWindow(const TestHostWindow&) = delete;
    TestHostWindow& operator=(const TestHostWindow&) = delete;

    // False when the display did not answer.
    bool ok() const { return x != nullptr; }
    unsigned long id() const { return window; }

private:
    _XDisplay* x = nullptr;
    unsigned long window = 0;
};
