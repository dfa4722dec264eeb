// A host's window on an X display, mapped, for a plugin window to be embedded into: what a DAW
// gives a plugin's editor. Closed with the object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
    // What the screen shows over the window's top-left `width` × `height` pixels, embedded
    // windows included: 0xRRGGBB per pixel, row by row from the top; empty when the display
    // refuses.
    std::vector<uint32_t> pixels(int width, int height) const;
    // The left button pressed (or released) at (px, py), pixels from the top left, sent to the
    // window embedded in this one (a plugin's); false when there is none.
    bool pressEmbedded(int px, int py, bool press) const;
    // The left button pressed (or released) at (px, py) of `window` on display `x`, sent
    // straight to it as the server would.
    static void pressButton(_XDisplay* x, unsigned long window, int px, int py, bool press);

private:
    _XDisplay* x = nullptr;
    unsigned long window = 0;
};
