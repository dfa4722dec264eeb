// The panel's rotary knob: a square view showing a normalized value 0..1 as a coloured ring
// over a travel arc with a gap at the bottom.
//
// The user drags it vertically (linear mode, every knob on the panel) or around its centre
// (rotary mode), or turns it with the mouse wheel, one position per notch. Each change is
// rounded to `resolution` positions, reported to the delegate with the assigned engine
// parameter, and redrawn through the main queue. Subclasses draw a decoration in the middle
// (drawInside) or replace how a value is shown (updateDisplay).
//
// While the pointer is over the knob or drags it, the knob wants its value readout shown and
// tells the delegate whenever that or the shown value changes; the knob draws nothing for it.
#pragma once

#include "Color.h"
#include "Corvena_Core.h"
#include "PanelPainting.h"
#include "TrackingArea.h"
#include "View.h"
#include "Zelvar_SimpleKnobDelegate.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>

class Zelvar_SimpleKnob : public toolkit::View {
public:
    Zelvar_SimpleKnob();
    explicit Zelvar_SimpleKnob(toolkit::Rect frame);
    ~Zelvar_SimpleKnob() override;

    // To be called once the frame is set: works out the centre in view and window coordinates.
    virtual void initialize();
    // A change made by the user: round, report to the delegate, show.
    virtual void setValue(double normalizedValue);
    // Shows a value without reporting it; callable from any thread (the redraw is queued).
    virtual void updateDisplay(double normalizedValue);
    virtual double getDiscretedValue(double normalizedValue) const;
    // Moves the knob by `positions` of its positions (negative: down), held at its ends, as a
    // change made by the user (setValue). False, and nothing reported, when that moves nothing.
    bool stepPositions(long long positions);
    // The pointer is over the knob or dragging it.
    bool showsReadout() const { return pointerInside || dragging; }
    // Decoration hook at the end of drawing; draws nothing here.
    virtual void drawInside() {}

    void draw(toolkit::Rect dirtyRect) override;
    void updateTrackingAreas() override;
    void mouseDown(const toolkit::MouseEvent& event) override;
    void mouseDragged(const toolkit::MouseEvent& event) override;
    void mouseUp(const toolkit::MouseEvent& event) override;
    void mouseEntered(const toolkit::MouseEvent& event) override;
    void mouseExited(const toolkit::MouseEvent& event) override;
    void scrollWheel(const toolkit::ScrollEvent& event) override;

    std::unique_ptr<toolkit::TrackingArea> trackingArea;
    bool knobModeIsRotary = false;
    ParameterType assignedParameter = ParameterTypeNone;
    // Not owned: the delegate (the panel's controller) outlives its knobs.
    Zelvar_SimpleKnobDelegate* knobDelegate = nullptr;
    toolkit::Point centerInWindow;
    toolkit::Point centerInView;
    toolkit::Point dragStartPoint;
    double dragStartTheta = 0.0;
    double theta = M_PI / 2.0;
    // Written by updateDisplay on any thread, read by drawing on the main thread.
    std::atomic<double> value{0.0};
    double valueOnDragStart = 0.0;
    double linearTrackingRange = 300.0;
    double linearTrackingMinCoordinate = 0.0;
    double linearTrackingMaxCoordinate = 0.0;
    double linearTrackingCurrentCoordinate = 0.0;
    double startAngle = 45.0;
    double endAngle = 315.0;
    double ringWidth = 0.2;
    double ringStartValue = 0.0;
    int64_t resolution = 101;
    toolkit::Color backgroundColor;
    toolkit::Color backgroundCircleColor;
    toolkit::Color ringColor;
    toolkit::Color ringBackgroundColor;
    toolkit::Color centerColor;

protected:
    // Sets the centre fields as `initialize` does; for subclasses that replace `initialize`.
    void computeCenters();
    // φ(v) of this knob, in degrees.
    double knobAngle(double v) const;
    // Called on the main thread once a new value is shown: keeps the readout in step.
    void valueShown();
    // The knob's colours and travel as the shared painting takes them.
    KnobLook look() const;

private:
    void setReadoutState(bool inside, bool drag);

    bool pointerInside = false;
    bool dragging = false;
    // Wheel rotation not yet worth a whole position, in the wheel's eighths of a degree.
    double wheelRemainder = 0.0;
};
