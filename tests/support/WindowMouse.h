// Mouse presses, drags, moves, releases and wheel turns sent through the window system to
// whatever top-level window holds a view, at points of that view's y-up coordinates — the way
// the window system delivers a user's clicks, so modal blocking and mouse grabs apply as they
// would on a desktop. One clock for every mouse: presses lie far apart in time unless a shorter
// gap is asked for, so they count as single clicks.
#pragma once

#include "View.h"

#include <QEvent>

class WindowMouse {
public:
    explicit WindowMouse(toolkit::View& view) : target(view) {}
    void press(double x, double y, int millisecondsSinceLast = 2000);
    void drag(double x, double y);
    void release(double x, double y);
    // The pointer moved with no button held: enters and leaves views on its way.
    void move(double x, double y);
    // Wheel deltas in eighths of a degree (120 a notch), positive turned away from the user.
    void wheel(double x, double y, int deltaY, bool inverted = false);

private:
    void send(double x, double y, Qt::MouseButtons buttons, QEvent::Type type, int gap);
    // The point in the top-level window's coordinates (y down).
    QPointF inWindow(double x, double y) const;
    toolkit::View& target;
};
