// The drawing state of one view's drawing pass: Qt's painter, already turned into the view's
// y-up coordinates, and the current colour that `Color::set` chooses.
//
// View creates one around each call of `draw`; paths, gradients and frames draw into the
// current context, so drawing code reads as a sequence of "set a colour, fill a path" steps.
// Main thread only, like all drawing.
#pragma once

#include "Color.h"
#include "Geometry.h"

class QFont;
class QPainter;
class QPainterPath;
class QString;

namespace toolkit {

class GraphicsContext {
public:
    // `painter` must already map the view's y-up coordinates; `height` is the view's height,
    // needed to draw text upright.
    GraphicsContext(QPainter& painter, double height);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // The context of the drawing pass in progress, or null outside one.
    static GraphicsContext* current();

    QPainter& painter() { return qtPainter; }
    double viewHeight() const { return height; }
    const Color& color() const { return currentColor; }
    void setColor(const Color& color) { currentColor = color; }

    void fill(const QPainterPath& path);
    void stroke(const QPainterPath& path, double lineWidth);

    // Draws text upright inside `rect` (y-up view coordinates) in the current colour; `flags`
    // are Qt's alignment and wrapping flags.
    void drawText(const QString& text, Rect rect, const QFont& font, int flags);

    // Fills a frame `width` wide along the inside of `rect` in the current colour.
    static void frameRectWithWidth(Rect rect, double width);

private:
    QPainter& qtPainter;
    double height;
    Color currentColor = Color::black();
    GraphicsContext* previous;
};

} // namespace toolkit
