// A two-colour linear gradient, evenly spaced, drawn into a path at an angle.
//
// The axis points at `angleDegrees` (counter-clockwise from +x, y up) through the centre of
// the path's bounding rectangle and is just long enough for the start colour to sit on the
// rectangle's first corner along the axis and the end colour on its last.
#pragma once

#include "BezierPath.h"
#include "Color.h"

namespace toolkit {

class Gradient {
public:
    Gradient(const Color& startColor, const Color& endColor);

    void drawInBezierPath(const BezierPath& path, double angleDegrees) const;

    // The axis end points for a rectangle, for drawing and for tests.
    static void axisForRect(Rect rect, double angleDegrees, Point* start, Point* end);

private:
    Color start;
    Color end;
};

} // namespace toolkit
