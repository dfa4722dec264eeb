// The drawing state of one view's drawing pass: a painter in the view's y-up coordinates and
// the current colour that `Color::set` chooses.
//
// A renderer's backend derives from it (Qt's in the toolkit, cairo's beside this layer) and is
// made around each view's drawing pass; paths, gradients and frames draw into the current
// context, so the panel's drawing code reads as a sequence of "set a colour, fill a path" steps
// and is written once for every renderer. One thread draws at a time, like all drawing.
#pragma once

#include "BezierPath.h"
#include "Color.h"
#include "Geometry.h"

namespace toolkit {

class GraphicsContext {
public:
    GraphicsContext();
    virtual ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // The context of the drawing pass in progress, or null outside one.
    static GraphicsContext* current();

    const Color& color() const { return currentColor; }
    void setColor(const Color& color) { currentColor = color; }

    // Non-zero winding fills; strokes with flat caps and mitred joins.
    virtual void fill(const BezierPath& path) = 0;
    virtual void stroke(const BezierPath& path, double lineWidth) = 0;
    // Fills `path` with a linear blend from `startColor` at `from` to `endColor` at `to`.
    virtual void fillGradient(const BezierPath& path, const Color& startColor,
                              const Color& endColor, Point from, Point to) = 0;

    // Fills a frame `width` wide along the inside of `rect` in the current colour.
    static void frameRectWithWidth(Rect rect, double width);

private:
    Color currentColor = Color::black();
    GraphicsContext* previous;
};

} // namespace toolkit
