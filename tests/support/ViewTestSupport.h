// For tests of views: a mouse for a view shown as a window of its own, the main queue run
// dry, a view drawn into an image at a device pixel ratio, and pixels and colours read from it.
#pragma once

#include "Geometry.h"
#include "View.h"
#include "WindowMouse.h"

#include <QColor>
#include <QImage>

#include <string>

// Shows `content` as a window and waits for the window system to expose it, then sends mouse
// events to it.
class MouseDriver : public WindowMouse {
public:
    explicit MouseDriver(toolkit::View& content);
};

// Runs everything queued on the main queue (redraws, picture changes).
void drainMainQueue();

// The view drawn alone into an image of its size at `devicePixelRatio`.
QImage render(toolkit::View& view, double devicePixelRatio = 1.0);
// The pixel under the point (x, y) of the view's coordinates (y up), unpremultiplied.
QColor pixelAt(const QImage& image, double viewHeight, double x, double y);
// Whether two colours agree within `tolerance` per 8-bit channel, alpha included.
bool near(const QColor& a, const QColor& b, int tolerance = 3);
std::string describe(const QColor& c);
