// Gradients hand their axis to the painter, which blends the two colours linearly in sRGB.
#include "Gradient.h"

#include "GraphicsContext.h"

#include <cmath>

namespace toolkit {

Gradient::Gradient(const Color& startColor, const Color& endColor)
    : start(startColor), end(endColor) {}

void Gradient::axisForRect(Rect rect, double angleDegrees, Point* startPoint, Point* endPoint) {
    const double radians = angleDegrees * M_PI / 180.0;
    const double dx = std::cos(radians), dy = std::sin(radians);
    // Half the rectangle's extent along the axis: its corners project to at most this far.
    const double half = 0.5 * (rect.width() * std::fabs(dx) + rect.height() * std::fabs(dy));
    const double cx = rect.minX() + rect.width() / 2, cy = rect.minY() + rect.height() / 2;
    *startPoint = Point{cx - half * dx, cy - half * dy};
    *endPoint = Point{cx + half * dx, cy + half * dy};
}

void Gradient::drawInBezierPath(const BezierPath& path, double angleDegrees) const {
    GraphicsContext* context = GraphicsContext::current();
    if (context == nullptr || path.isEmpty()) {
        return;
    }
    Point from, to;
    axisForRect(path.bounds(), angleDegrees, &from, &to);
    context->fillGradient(path, start, end, from, to);
}

} // namespace toolkit
