// Paths over QPainterPath. Qt measures arc angles with y down; the view's painter is flipped
// to y up, so the angles handed to Qt are negated to keep "counter-clockwise, y up".
#include "BezierPath.h"

#include "GraphicsContext.h"

#include <cmath>

namespace toolkit {

BezierPath::BezierPath() {
    path.setFillRule(Qt::WindingFill);
}

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
    path.addRect(QRectF(rect.minX(), rect.minY(), rect.width(), rect.height()));
    hasElements = true;
}

void BezierPath::appendOvalInRect(Rect rect) {
    path.addEllipse(QRectF(rect.minX(), rect.minY(), rect.width(), rect.height()));
    hasElements = true;
}

void BezierPath::moveTo(Point p) {
    path.moveTo(p.x, p.y);
    hasElements = true;
}

void BezierPath::lineTo(Point p) {
    path.lineTo(p.x, p.y);
    hasElements = true;
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
    const QPointF start(center.x + radius * std::cos(startRadians),
                        center.y + radius * std::sin(startRadians));
    if (hasElements) {
        path.lineTo(start);
    } else {
        path.moveTo(start);
        hasElements = true;
    }
    const double sweep = arcSweepDegrees(startAngleDegrees, endAngleDegrees, clockwise);
    if (sweep != 0.0) {
        const QRectF box(center.x - radius, center.y - radius, 2 * radius, 2 * radius);
        path.arcTo(box, -startAngleDegrees, -sweep);
    }
}

void BezierPath::closePath() {
    path.closeSubpath();
}

void BezierPath::fill() const {
    if (GraphicsContext* context = GraphicsContext::current()) {
        context->fill(path);
    }
}

void BezierPath::stroke() const {
    if (GraphicsContext* context = GraphicsContext::current()) {
        context->stroke(path, width_);
    }
}

Rect BezierPath::bounds() const {
    const QRectF r = path.boundingRect();
    return makeRect(r.x(), r.y(), r.width(), r.height());
}

} // namespace toolkit
