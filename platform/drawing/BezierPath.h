// A path of rectangles, ovals, lines and arcs in a view's y-up coordinates, filled or stroked
// in the current colour of the drawing pass.
//
// Arcs follow the drawing convention the controls are written in: angles in degrees,
// counter-clockwise from the positive x axis with y up, and a flag choosing the clockwise
// direction. An arc appended to a path that already has a current point is joined to it by a
// straight line, so "move to the centre, append the arc, close" makes a pie slice.
//
// The path is a list of these elements, free of any renderer: each painter (GraphicsContext)
// replays them in its own library's terms.
#pragma once

#include "Geometry.h"

#include <vector>

namespace toolkit {

class BezierPath {
public:
    struct Element {
        enum class Kind { rect, oval, moveTo, lineTo, arc, close };
        Kind kind = Kind::moveTo;
        // rect and oval: the rectangle; moveTo and lineTo: rect.origin is the point.
        Rect rect;
        // arc: centre, radius, start angle and counter-clockwise sweep in degrees, its first
        // point, and whether a line joins it to the path's current point.
        Point center;
        double radius = 0.0;
        double startDegrees = 0.0;
        double sweepDegrees = 0.0;
        Point start;
        bool joined = false;
    };

    static BezierPath withRect(Rect rect);
    static BezierPath withOvalInRect(Rect rect);

    void appendRect(Rect rect);
    void appendOvalInRect(Rect rect);
    void moveTo(Point p);
    void lineTo(Point p);
    void appendArc(Point center, double radius, double startAngleDegrees, double endAngleDegrees,
                   bool clockwise);
    void closePath();

    void setLineWidth(double width) { width_ = width; }
    double lineWidth() const { return width_; }

    void fill() const;
    void stroke() const;

    bool isEmpty() const { return items.empty(); }
    const std::vector<Element>& elements() const { return items; }
    // The smallest rectangle holding every point the path passes through.
    Rect bounds() const;

    // Counter-clockwise sweep in degrees (negative: clockwise) of an arc from `start` to `end`
    // in the given direction: equal angles give no arc, a difference of a full turn or more a
    // full circle, anything else the sweep going round the stated way.
    static double arcSweepDegrees(double startAngleDegrees, double endAngleDegrees, bool clockwise);

private:
    std::vector<Element> items;
    double width_ = 1.0;
};

} // namespace toolkit
