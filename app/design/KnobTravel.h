// The knob's value arithmetic, free of any drawing or event: rounding to the knob's positions,
// the band of a linear drag, the pointer angle of a rotary drag, and the angles the ring is
// drawn at.
//
// Knob angles are degrees clockwise from straight down (6 o'clock): 90 left, 180 up, 270
// right. The drawing convention is degrees counter-clockwise from +x with y up; a knob angle
// φ is the drawing angle 270 − φ.
#pragma once

#include <cstdint>
#include <optional>

class KnobTravel {
public:
    // The value rounded to one of `resolution` evenly spaced positions over 0..1 (halves away
    // from zero); values outside 0..1 are rounded, not clamped. `resolution` is at least 2.
    static double discretedValue(double normalizedValue, int64_t resolution);

    // The position `positions` away from the one nearest to `value`, held to 0..1: exactly
    // p / (resolution − 1) for a whole p, as discretedValue gives it.
    static double steppedValue(double value, long long positions, int64_t resolution);

    // Wheel deltas (eighths of a degree, 120 a notch) gathered into whole positions: one notch,
    // or the small deltas of a touchpad adding up to one, is one position. `remainder` is what
    // earlier deltas left over; the result carries what is left now, with the sign of the
    // turn it belongs to.
    struct WheelSteps {
        long long positions;
        double remainder;
    };
    static constexpr double wheelNotch = 120.0;
    static WheelSteps wheelSteps(double remainder, double delta);

    // φ(v): the knob angle, in degrees, at which a value sits on the travel.
    static double knobAngle(double value, double startAngle, double endAngle);
    static double drawingAngleDegrees(double knobAngleDegrees) { return 270.0 - knobAngleDegrees; }

    // A linear drag maps the window height inside a band fixed at the press: the press point
    // sits at the value the knob had, and the band spans the travel's share of a full turn of
    // `trackingRange` points.
    struct LinearBand {
        double minCoordinate;
        double maxCoordinate;
    };
    static LinearBand linearBand(double pressY, double value, double startAngle, double endAngle,
                                 double trackingRange);
    // The pointer height clamped into the band.
    static double clampToBand(double y, LinearBand band);
    // The value of a pointer height already clamped into the band.
    static double linearValue(double clampedY, LinearBand band);

    // The pointer's angle around the centre in radians, clockwise from straight down, in
    // [0, 2π]; empty for a pointer exactly at the centre, which has no angle.
    static std::optional<double> rotaryTheta(double dx, double dy);
    // The knob angle of a pointer angle, held at the travel's ends (no memory: crossing the
    // gap at the bottom jumps between them).
    static double clampedKnobAngle(double thetaRadians, double startAngle, double endAngle);
    static double rotaryValue(double clampedKnobAngleDegrees, double startAngle, double endAngle);
};
