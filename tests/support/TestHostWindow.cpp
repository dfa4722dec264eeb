// The window is mapped and the request flushed before the constructor returns, so a plugin
// that asks the server about its parent finds it there.
#include "TestHostWindow.h"

#include <X11/Xlib.h>

TestHostWindow::TestHostWindow(const std::string& display, int width, int height)
    : x(XOpenDisplay(display.c_str())) {
    if (x == nullptr)
        return;
    window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, unsigned(width), unsigned(height),
                                 0, 0, 0);
    XMapWindow(x, window);
    XSync(x, False);
}

TestHostWindow::~TestHostWindow() {
    if (x == nullptr)
        return;
    XDestroyWindow(x, window);
    XCloseDisplay(x);
}
