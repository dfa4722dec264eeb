// The rotary knob: value changes and mouse dragging; its layers are drawn as the panel's
// description draws a knob, then the decoration.
#include "Zelvar_SimpleKnob.h"

#include "KnobTravel.h"
#include "Log.h"
#include "MainQueue.h"
#include "PanelPainting.h"

#include <QPointer>

#include <cmath>
#include <sstream>

using toolkit::Point;

Zelvar_SimpleKnob::Zelvar_SimpleKnob() : Zelvar_SimpleKnob(toolkit::Rect{}) {}

Zelvar_SimpleKnob::Zelvar_SimpleKnob(toolkit::Rect frame)
    : View(frame), backgroundColor(KnobLook::standard().background),
      backgroundCircleColor(KnobLook::standard().backgroundCircle),
      ringColor(KnobLook::standard().ring),
      ringBackgroundColor(KnobLook::standard().ringBackground),
      centerColor(KnobLook::standard().center) {}

Zelvar_SimpleKnob::~Zelvar_SimpleKnob() {
    if (trackingArea) {
        removeTrackingArea(trackingArea.get());
    }
}

void Zelvar_SimpleKnob::computeCenters() {
    const toolkit::Rect f = frame();
    centerInView = Point{f.width() / 2.0, f.height() / 2.0};
    centerInWindow = Point{f.minX() + centerInView.x, f.minY() + centerInView.y};
}

void Zelvar_SimpleKnob::initialize() {
    computeCenters();
}

double Zelvar_SimpleKnob::getDiscretedValue(double normalizedValue) const {
    return KnobTravel::discretedValue(normalizedValue, resolution);
}

double Zelvar_SimpleKnob::knobAngle(double v) const {
    return KnobTravel::knobAngle(v, startAngle, endAngle);
}

void Zelvar_SimpleKnob::setValue(double normalizedValue) {
    const double q = getDiscretedValue(normalizedValue);
    if (knobDelegate != nullptr) {
        knobDelegate->dspSetParameter(assignedParameter, q);
    }
    updateDisplay(q);
}

void Zelvar_SimpleKnob::updateDisplay(double normalizedValue) {
    value = getDiscretedValue(normalizedValue);
    // The guard stands in for keeping the knob alive: a knob deleted before the block runs
    // is simply not drawn.
    QPointer<Zelvar_SimpleKnob> knob(this);
    toolkit::MainQueue::async([knob] {
        if (knob) {
            knob->display();
            knob->valueShown();
        }
    });
}

void Zelvar_SimpleKnob::valueShown() {
    if (showsReadout() && knobDelegate != nullptr)
        knobDelegate->knobReadoutChanged(this);
}

void Zelvar_SimpleKnob::setReadoutState(bool inside, bool drag) {
    const bool wasShown = showsReadout();
    pointerInside = inside;
    dragging = drag;
    if (wasShown != showsReadout() && knobDelegate != nullptr)
        knobDelegate->knobReadoutChanged(this);
}

bool Zelvar_SimpleKnob::stepPositions(long long positions) {
    const double target = KnobTravel::steppedValue(value, positions, resolution);
    if (target == value)
        return false;
    setValue(target);
    return true;
}

void Zelvar_SimpleKnob::mouseDown(const toolkit::MouseEvent& event) {
    if (event.clickCount == 2) {
        return;
    }
    setReadoutState(pointerInside, true);
    const double v = value;
    valueOnDragStart = v;
    const KnobTravel::LinearBand band = KnobTravel::linearBand(
        event.locationInWindow.y, v, startAngle, endAngle, linearTrackingRange);
    linearTrackingMinCoordinate = band.minCoordinate;
    linearTrackingMaxCoordinate = band.maxCoordinate;
}

void Zelvar_SimpleKnob::mouseDragged(const toolkit::MouseEvent& event) {
    const Point p = event.locationInWindow;
    double v = 0.0;
    if (!knobModeIsRotary) {
        const KnobTravel::LinearBand band{linearTrackingMinCoordinate, linearTrackingMaxCoordinate};
        linearTrackingCurrentCoordinate = KnobTravel::clampToBand(p.y, band);
        v = KnobTravel::linearValue(linearTrackingCurrentCoordinate, band);
    } else {
        const auto t = KnobTravel::rotaryTheta(p.x - centerInWindow.x, p.y - centerInWindow.y);
        if (!t) {
            return; // exactly at the centre: no angle, so no change
        }
        theta = *t;
        const double phi = KnobTravel::clampedKnobAngle(theta, startAngle, endAngle);
        std::ostringstream line;
        line << phi;
        toolkit::Log::line(line.str());
        v = KnobTravel::rotaryValue(phi, startAngle, endAngle);
    }
    value = v;
    setValue(v);
}

void Zelvar_SimpleKnob::mouseUp(const toolkit::MouseEvent&) {
    setReadoutState(pointerInside, false);
}

void Zelvar_SimpleKnob::mouseEntered(const toolkit::MouseEvent&) {
    setReadoutState(true, dragging);
}

void Zelvar_SimpleKnob::mouseExited(const toolkit::MouseEvent&) {
    setReadoutState(false, dragging);
}

void Zelvar_SimpleKnob::scrollWheel(const toolkit::ScrollEvent& event) {
    // Only the vertical wheel turns a knob; a sideways swipe passing over it does not.
    const double delta = event.isDirectionInvertedFromDevice ? -event.deltaY : event.deltaY;
    const KnobTravel::WheelSteps steps = KnobTravel::wheelSteps(wheelRemainder, delta);
    wheelRemainder = steps.remainder;
    // Turning on past an end gathers nothing, so turning back acts at once.
    if (steps.positions != 0 && !stepPositions(steps.positions))
        wheelRemainder = 0.0;
}

KnobLook Zelvar_SimpleKnob::look() const {
    KnobLook look;
    look.background = backgroundColor;
    look.backgroundCircle = backgroundCircleColor;
    look.ring = ringColor;
    look.ringBackground = ringBackgroundColor;
    look.center = centerColor;
    look.startAngle = startAngle;
    look.endAngle = endAngle;
    look.ringWidth = ringWidth;
    return look;
}

void Zelvar_SimpleKnob::draw(toolkit::Rect) {
    PanelPainting::knob(look(), frame().size, value, ringStartValue);
    drawInside();
}

void Zelvar_SimpleKnob::updateTrackingAreas() {
    trackWholeBounds(trackingArea);
}
