// Lines are drawn with flat caps and mitred joins, and shapes filled with the non-zero winding
// rule, so Qt's results match the controls' geometry. Qt measures arc angles with y down; the
// view's painter is flipped to y up, so the angles handed to Qt are negated to keep
// "counter-clockwise, y up".
#include "QtGraphicsContext.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace toolkit {

QColor toQColor(const Color& color) {
    auto unit = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(unit(color.red()), unit(color.green()), unit(color.blue()),
                            unit(color.alpha()));
}

QPainterPath toQPainterPath(const BezierPath& path) {
    using Kind = BezierPath::Element::Kind;
    QPainterPath q;
    q.setFillRule(Qt::WindingFill);
    for (const BezierPath::Element& e : path.elements()) {
        const QRectF box(e.rect.minX(), e.rect.minY(), e.rect.width(), e.rect.height());
        switch (e.kind) {
        case Kind::rect:
            q.addRect(box);
            break;
        case Kind::oval:
            q.addEllipse(box);
            break;
        case Kind::moveTo:
            q.moveTo(e.rect.origin.x, e.rect.origin.y);
            break;
        case Kind::lineTo:
            q.lineTo(e.rect.origin.x, e.rect.origin.y);
            break;
        case Kind::arc:
            if (e.joined)
                q.lineTo(e.start.x, e.start.y);
            else
                q.moveTo(e.start.x, e.start.y);
            if (e.sweepDegrees != 0.0)
                q.arcTo(QRectF(e.center.x - e.radius, e.center.y - e.radius, 2 * e.radius,
                               2 * e.radius),
                        -e.startDegrees, -e.sweepDegrees);
            break;
        case Kind::close:
            q.closeSubpath();
            break;
        }
    }
    return q;
}

QtGraphicsContext::QtGraphicsContext(QPainter& painter, double height)
    : qtPainter(painter), height(height) {}

QtGraphicsContext* QtGraphicsContext::current() {
    return dynamic_cast<QtGraphicsContext*>(GraphicsContext::current());
}

void QtGraphicsContext::fill(const BezierPath& path) {
    qtPainter.fillPath(toQPainterPath(path), toQColor(color()));
}

void QtGraphicsContext::stroke(const BezierPath& path, double lineWidth) {
    QPen pen(toQColor(color()), lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    qtPainter.strokePath(toQPainterPath(path), pen);
}

void QtGraphicsContext::fillGradient(const BezierPath& path, const Color& startColor,
                                     const Color& endColor, Point from, Point to) {
    QLinearGradient gradient(QPointF(from.x, from.y), QPointF(to.x, to.y));
    gradient.setColorAt(0.0, toQColor(startColor));
    gradient.setColorAt(1.0, toQColor(endColor));
    qtPainter.fillPath(toQPainterPath(path), QBrush(gradient));
}

void QtGraphicsContext::drawText(const QString& text, Rect rect, const QFont& font, int flags) {
    // Text must not be mirrored: undo the y flip for the glyphs only.
    qtPainter.save();
    qtPainter.translate(0.0, height);
    qtPainter.scale(1.0, -1.0);
    qtPainter.setFont(font);
    qtPainter.setPen(toQColor(color()));
    const QRectF box(rect.minX(), height - rect.maxY(), rect.width(), rect.height());
    qtPainter.drawText(box, flags, text);
    qtPainter.restore();
}

} // namespace toolkit
