// The drawing layer's painter on Qt: QPainter, already turned into the view's y-up
// coordinates. View makes one around each call of `draw`.
//
// Paths are replayed into QPainterPath with the calls the controls' geometry was measured
// with (rectangles, ellipses and arcs as Qt adds them), so the program's panel keeps its pixels.
#pragma once

#include "GraphicsContext.h"

#include <QColor>
#include <QPainterPath>

class QFont;
class QPainter;
class QString;

namespace toolkit {

QColor toQColor(const Color& color);
QPainterPath toQPainterPath(const BezierPath& path);

class QtGraphicsContext : public GraphicsContext {
public:
    // `painter` must already map the view's y-up coordinates; `height` is the view's height,
    // needed to draw text upright.
    QtGraphicsContext(QPainter& painter, double height);

    // The Qt context of the drawing pass in progress, or null outside one or inside another
    // painter's pass.
    static QtGraphicsContext* current();

    QPainter& painter() { return qtPainter; }
    double viewHeight() const { return height; }

    void fill(const BezierPath& path) override;
    void stroke(const BezierPath& path, double lineWidth) override;
    void fillGradient(const BezierPath& path, const Color& startColor, const Color& endColor,
                      Point from, Point to) override;

    // Draws text upright inside `rect` (y-up view coordinates) in the current colour; `flags`
    // are Qt's alignment and wrapping flags.
    void drawText(const QString& text, Rect rect, const QFont& font, int flags);

private:
    QPainter& qtPainter;
    double height;
};

} // namespace toolkit
