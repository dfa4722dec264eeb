// The current drawing context. Lines are drawn with flat caps and mitred joins, and shapes
// filled with the non-zero winding rule, so Qt's results match the controls' geometry.
#include "GraphicsContext.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>

namespace toolkit {

namespace {
GraphicsContext* currentContext = nullptr;
}

GraphicsContext::GraphicsContext(QPainter& painter, double height)
    : qtPainter(painter), height(height), previous(currentContext) {
    currentContext = this;
}

GraphicsContext::~GraphicsContext() {
    currentContext = previous;
}

GraphicsContext* GraphicsContext::current() {
    return currentContext;
}

void GraphicsContext::fill(const QPainterPath& path) {
    qtPainter.fillPath(path, currentColor.toQColor());
}

void GraphicsContext::stroke(const QPainterPath& path, double lineWidth) {
    QPen pen(currentColor.toQColor(), lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    qtPainter.strokePath(path, pen);
}

void GraphicsContext::drawText(const QString& text, Rect rect, const QFont& font, int flags) {
    // Text must not be mirrored: undo the y flip for the glyphs only.
    qtPainter.save();
    qtPainter.translate(0.0, height);
    qtPainter.scale(1.0, -1.0);
    qtPainter.setFont(font);
    qtPainter.setPen(currentColor.toQColor());
    const QRectF box(rect.minX(), height - rect.maxY(), rect.width(), rect.height());
    qtPainter.drawText(box, flags, text);
    qtPainter.restore();
}

void GraphicsContext::frameRectWithWidth(Rect rect, double width) {
    GraphicsContext* context = current();
    if (context == nullptr) {
        return;
    }
    // Four bands inside the rectangle; a frame wider than half the rectangle fills it.
    const double w = std::min(width, std::min(rect.width(), rect.height()) / 2.0);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const double x = rect.minX(), y = rect.minY();
    const double rw = rect.width(), rh = rect.height();
    path.addRect(QRectF(x, y, rw, w));
    path.addRect(QRectF(x, y + rh - w, rw, w));
    path.addRect(QRectF(x, y + w, w, rh - 2 * w));
    path.addRect(QRectF(x + rw - w, y + w, w, rh - 2 * w));
    context->fill(path);
}

} // namespace toolkit
