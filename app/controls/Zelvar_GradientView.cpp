// The gradient axis points 20° below +x, so the start colour lies upper left.
#include "Zelvar_GradientView.h"

#include "BezierPath.h"
#include "ColorCode.h"
#include "Gradient.h"

void Zelvar_GradientView::draw(toolkit::Rect) {
    const toolkit::BezierPath path =
        toolkit::BezierPath::withRect(toolkit::makeRect(0, 0, frame().width(), frame().height()));
    const toolkit::Gradient gradient(initWithColorCode("#f9fed3"), initWithColorCode("#ffdbb2"));
    gradient.drawInBezierPath(path, -20.0);
}
