// The window is mapped and the request flushed before the constructor returns, so a plugin
// that asks the server about its parent finds it there.
#include "TestHostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

// Taken from the root window: the host window sits at its origin, and a plugin's window may
// use a visual of another depth, whose pixels a grab of the host window would leave undefined.
std::vector<uint32_t> TestHostWindow::pixels(int width, int height) const {
    if (x == nullptr)
        return {};
    XSync(x, False);
    XImage* image = XGetImage(x, DefaultRootWindow(x), 0, 0, unsigned(width), unsigned(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr)
        return {};
    std::vector<uint32_t> out;
    out.reserve(size_t(width) * size_t(height));
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px)
            out.push_back(uint32_t(XGetPixel(image, px, py)) & 0xffffffu);
    XDestroyImage(image);
    return out;
}

bool TestHostWindow::pressEmbedded(int px, int py, bool press) const {
    if (x == nullptr)
        return false;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, window, &root, &parent, &children, &count) || count == 0)
        return false;
    const Window embedded = children[0];
    XFree(children);
    pressButton(x, embedded, px, py, press);
    XSync(x, False);
    return true;
}

void TestHostWindow::pressButton(_XDisplay* x, unsigned long window, int px, int py, bool press) {
    XEvent event{};
    event.xbutton.type = press ? ButtonPress : ButtonRelease;
    event.xbutton.display = x;
    event.xbutton.window = window;
    event.xbutton.root = DefaultRootWindow(x);
    event.xbutton.x = px;
    event.xbutton.y = py;
    event.xbutton.button = Button1;
    event.xbutton.same_screen = True;
    event.xbutton.state = press ? 0 : Button1Mask;
    XSendEvent(x, window, True, press ? ButtonPressMask : ButtonReleaseMask, &event);
    XFlush(x);
}
