// A path of rectangles, ovals, lines and arcs in a view's y-up coordinates, filled or stroked
// in the current colour of the drawing pass.
//
// Arcs follow the drawing convention the controls are written in: angles in degrees,
// counter-clockwise from the positive x axis with y up, and a flag choosing the clockwise
// direction. An arc appended to a path that already has a current point is joined to it by a
// straight line, so "move to the centre, append the arc, close" makes a pie slice.
#pragma once

#include "Geometry.h"

#include <QPainterPath>

namespace toolkit {

class BezierPath {
public:
    BezierPath();

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

    bool isEmpty() const { return !hasElements; }
    Rect bounds() const;
    const QPainterPath& qtPath() const { return path; }

    // Counter-clockwise sweep in degrees (negative: clockwise) of an arc from `start` to `end`
    // in the given direction: equal angles give no arc, a difference of a full turn or more a
    // full circle, anything else the sweep going round the stated way.
    static double arcSweepDegrees(double startAngleDegrees, double endAngleDegrees, bool clockwise);

private:
    QPainterPath path;
    // Qt's path holds a start element even when nothing was added, so emptiness is kept here.
    bool hasElements = false;
    double width_ = 1.0;
};

} // namespace toolkit
