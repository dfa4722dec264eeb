// The knob is drawn in layers over a square: the pie slices for travel and value are cut down
// to a ring by the inner disc drawn over them.
#include "PanelPainting.h"

#include "BezierPath.h"
#include "ColorCode.h"
#include "Gradient.h"
#include "GraphicsContext.h"
#include "KnobTravel.h"
#include "WaveformPicture.h"

#include <cmath>

using toolkit::BezierPath;
using toolkit::Color;
using toolkit::makeRect;
using toolkit::Point;

KnobLook KnobLook::standard() {
    KnobLook look;
    look.background = initWithColorCode("#fefff900");
    look.backgroundCircle = initWithColorCode("#a58787");
    look.ring = initWithColorCode("#37cee8");
    look.ringBackground = initWithColorCode("#e2b1b1");
    look.center = initWithColorCode("#f7f2ed");
    return look;
}

namespace {

void fillPieSlice(toolkit::Size size, double fromKnobAngle, double toKnobAngle, bool clockwise,
                  const Color& color) {
    const Point c{size.width / 2.0, size.height / 2.0};
    BezierPath slice;
    slice.moveTo(c);
    slice.appendArc(c, size.width / 2.0, KnobTravel::drawingAngleDegrees(fromKnobAngle),
                    KnobTravel::drawingAngleDegrees(toKnobAngle), clockwise);
    slice.closePath();
    color.set();
    slice.fill();
}

// A line from `inner` to the rim along the knob angle of `value`.
void radialLine(const KnobLook& look, toolkit::Size size, double value, double inner) {
    const double w = size.width, h = size.height;
    const double angle = KnobTravel::knobAngle(value, look.startAngle, look.endAngle);
    const double alpha = 3.0 * M_PI / 2.0 - angle * M_PI / 180.0;
    BezierPath line;
    line.moveTo(Point{w / 2 + inner * std::cos(alpha), h / 2 + inner * std::sin(alpha)});
    line.lineTo(Point{w / 2 + 0.5 * w * std::cos(alpha), h / 2 + 0.5 * w * std::sin(alpha)});
    line.setLineWidth(2.0);
    look.ring.set();
    line.stroke();
}

} // namespace

void PanelPainting::knob(const KnobLook& look, toolkit::Size size, double value,
                         double ringStartValue) {
    const double w = size.width, h = size.height, rw = look.ringWidth;
    auto angle = [&](double v) { return KnobTravel::knobAngle(v, look.startAngle, look.endAngle); };

    look.background.set();
    BezierPath::withRect(makeRect(0, 0, w, h)).fill();

    look.backgroundCircle.set();
    BezierPath::withOvalInRect(makeRect(0, 0, w, h)).fill();

    fillPieSlice(size, look.startAngle, look.endAngle, true, look.ringBackground);
    // A ring that starts mid-travel grows towards either side of its start.
    fillPieSlice(size, angle(ringStartValue), angle(value), ringStartValue <= value, look.ring);

    look.center.set();
    BezierPath::withOvalInRect(makeRect(rw * w, rw * h, (1 - 2 * rw) * w, (1 - 2 * rw) * h)).fill();

    radialLine(look, size, ringStartValue, 0.5 * (1 - 2 * rw) * w);
}

void PanelPainting::linePointer(const KnobLook& look, toolkit::Size size, double value) {
    radialLine(look, size, value, 0.0);
}

toolkit::Rect PanelPainting::waveformPictureFrame(const KnobLook& look, toolkit::Size knobSize) {
    const double w = knobSize.width, h = knobSize.height, rw = look.ringWidth;
    return makeRect(1.5 * rw * w, 1.9 * rw * h, (1 - 2 * 1.5 * rw) * w, (1 - 2 * 1.9 * rw) * h);
}

void PanelPainting::waveformPicture(Waveform waveform, toolkit::Size size, double margin,
                                    const Color& background) {
    const double w = size.width, h = size.height;
    background.set();
    BezierPath::withRect(makeRect(0, 0, w, h)).fill();

    const auto points = WaveformPicture::points(waveform, w, h, margin);
    if (points.empty()) {
        return;
    }
    BezierPath path;
    path.moveTo(points.front());
    for (size_t i = 1; i < points.size(); ++i) {
        path.lineTo(points[i]);
    }
    path.setLineWidth(2.0);
    Color::black().set();
    path.stroke();
}

void PanelPainting::key(KeyType type, bool pressed, toolkit::Size size) {
    const toolkit::Rect area = makeRect(0, 0, size.width, size.height);
    if (type == KeyType::white) {
        (pressed ? Color::lightGray() : Color::white()).set();
        BezierPath::withRect(area).fill();
        if (!pressed) {
            Color::lightGray().set();
            toolkit::GraphicsContext::frameRectWithWidth(area, 1.0);
        }
    } else {
        (pressed ? Color::gray() : Color::black()).set();
        BezierPath::withRect(area).fill();
    }
}

void PanelPainting::background(toolkit::Size size) {
    const BezierPath path = BezierPath::withRect(makeRect(0, 0, size.width, size.height));
    const toolkit::Gradient gradient(initWithColorCode("#f9fed3"), initWithColorCode("#ffdbb2"));
    gradient.drawInBezierPath(path, -20.0);
}
