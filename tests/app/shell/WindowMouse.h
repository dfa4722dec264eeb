// Mouse presses, drags and releases sent through the window system to whatever top-level window
// holds a view, at points of that view's y-up coordinates — the way the window system delivers
// a user's clicks, so modal blocking and mouse grabs apply as they would on a desktop.
#pragma once

#include "View.h"

#include <QEvent>

class WindowMouse {
public:
    explicit WindowMouse(toolkit::View& view) : target(view) {}
    void press(double x, double y);
    void drag(double x, double y);
    void release(double x, double y);

private:
    void send(double x, double y, Qt::MouseButtons buttons, QEvent::Type type, int gap);
    toolkit::View& target;
};
