// The pointer reaches the outer rim, across the ring, so it shows over both the inner disc
// and the ring.
#include "Zelvar_SimpleLineKnob.h"

#include "BezierPath.h"

#include <cmath>

void Zelvar_SimpleLineKnob::drawInside() {
    const double w = frame().width(), h = frame().height();
    const double alpha = 3.0 * M_PI / 2.0 - knobAngle(value) * M_PI / 180.0;
    toolkit::BezierPath pointer;
    pointer.moveTo(toolkit::Point{w / 2, h / 2});
    pointer.lineTo(
        toolkit::Point{w / 2 + 0.5 * w * std::cos(alpha), h / 2 + 0.5 * w * std::sin(alpha)});
    pointer.setLineWidth(2.0);
    ringColor.set();
    pointer.stroke();
}
