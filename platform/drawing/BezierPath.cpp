// Paths as element lists. Bounds are worked out here, arcs included, so a gradient spans the
// same rectangle whichever painter fills it.
#include "BezierPath.h"

#include "GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace toolkit {

BezierPath BezierPath::withRect(Rect rect) {
    BezierPath p;
    p.appendRect(rect);
    return p;
}

BezierPath BezierPath::withOvalInRect(Rect rect) {
    BezierPath p;
    p.appendOvalInRect(rect);
    return p;
}

void BezierPath::appendRect(Rect rect) {
    Element e;
    e.kind = Element::Kind::rect;
    e.rect = rect;
    items.push_back(e);
}

void BezierPath::appendOvalInRect(Rect rect) {
    Element e;
    e.kind = Element::Kind::oval;
    e.rect = rect;
    items.push_back(e);
}

void BezierPath::moveTo(Point p) {
    Element e;
    e.kind = Element::Kind::moveTo;
    e.rect.origin = p;
    items.push_back(e);
}

void BezierPath::lineTo(Point p) {
    Element e;
    e.kind = Element::Kind::lineTo;
    e.rect.origin = p;
    items.push_back(e);
}

double BezierPath::arcSweepDegrees(double startAngleDegrees, double endAngleDegrees,
                                   bool clockwise) {
    const double difference =
        clockwise ? startAngleDegrees - endAngleDegrees : endAngleDegrees - startAngleDegrees;
    double sweep = 0.0;
    if (difference == 0.0) {
        sweep = 0.0;
    } else if (std::fabs(difference) >= 360.0) {
        sweep = 360.0;
    } else {
        sweep = difference < 0.0 ? difference + 360.0 : difference;
    }
    return clockwise ? -sweep : sweep;
}

void BezierPath::appendArc(Point center, double radius, double startAngleDegrees,
                           double endAngleDegrees, bool clockwise) {
    const double startRadians = startAngleDegrees * M_PI / 180.0;
    Element e;
    e.kind = Element::Kind::arc;
    e.center = center;
    e.radius = radius;
    e.startDegrees = startAngleDegrees;
    e.sweepDegrees = arcSweepDegrees(startAngleDegrees, endAngleDegrees, clockwise);
    e.start = Point{center.x + radius * std::cos(startRadians),
                    center.y + radius * std::sin(startRadians)};
    e.joined = !items.empty();
    items.push_back(e);
}

void BezierPath::closePath() {
    Element e;
    e.kind = Element::Kind::close;
    items.push_back(e);
}

void BezierPath::fill() const {
    if (GraphicsContext* context = GraphicsContext::current()) {
        context->fill(*this);
    }
}

void BezierPath::stroke() const {
    if (GraphicsContext* context = GraphicsContext::current()) {
        context->stroke(*this, width_);
    }
}

Rect BezierPath::bounds() const {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0;
    double x1 = -x0, y1 = -x0;
    auto add = [&](Point p) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    };
    for (const Element& e : items) {
        switch (e.kind) {
        case Element::Kind::rect:
        case Element::Kind::oval:
            add(e.rect.origin);
            add(Point{e.rect.maxX(), e.rect.maxY()});
            break;
        case Element::Kind::moveTo:
        case Element::Kind::lineTo:
            add(e.rect.origin);
            break;
        case Element::Kind::arc: {
            // The ends, and each axis direction the sweep passes.
            const double from = std::min(e.startDegrees, e.startDegrees + e.sweepDegrees);
            const double to = std::max(e.startDegrees, e.startDegrees + e.sweepDegrees);
            auto at = [&](double degrees) {
                const double r = degrees * M_PI / 180.0;
                add(Point{e.center.x + e.radius * std::cos(r),
                          e.center.y + e.radius * std::sin(r)});
            };
            at(from);
            at(to);
            for (double axis = std::ceil(from / 90.0) * 90.0; axis < to; axis += 90.0)
                at(axis);
            break;
        }
        case Element::Kind::close:
            break;
        }
    }
    if (items.empty() || x0 > x1)
        return Rect{};
    return makeRect(x0, y0, x1 - x0, y1 - y0);
}

} // namespace toolkit
