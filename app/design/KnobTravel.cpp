// Knob value arithmetic.
#include "KnobTravel.h"

#include <algorithm>
#include <cmath>

double KnobTravel::discretedValue(double normalizedValue, int64_t resolution) {
    const double steps = static_cast<double>(resolution - 1);
    return std::round(normalizedValue * steps) / steps;
}

double KnobTravel::steppedValue(double value, long long positions, int64_t resolution) {
    const long long last = static_cast<long long>(resolution - 1);
    // A value between positions (the output knob's 0.8 at start) steps from its nearest one.
    const double held = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    const long long from = std::llround(held * static_cast<double>(last));
    const long long to = std::clamp(from + positions, 0LL, last);
    return static_cast<double>(to) / static_cast<double>(last);
}

KnobTravel::WheelSteps KnobTravel::wheelSteps(double remainder, double delta) {
    const double total = remainder + delta;
    const double whole = std::trunc(total / wheelNotch);
    return WheelSteps{static_cast<long long>(whole), total - whole * wheelNotch};
}

double KnobTravel::knobAngle(double value, double startAngle, double endAngle) {
    return startAngle + value * (endAngle - startAngle);
}

KnobTravel::LinearBand KnobTravel::linearBand(double pressY, double value, double startAngle,
                                              double endAngle, double trackingRange) {
    const double span = (endAngle - startAngle) / 360.0 * trackingRange;
    const double minimum = pressY - value * span;
    return LinearBand{minimum, minimum + span};
}

double KnobTravel::clampToBand(double y, LinearBand band) {
    double c = y;
    if (c > band.maxCoordinate) {
        c = band.maxCoordinate;
    }
    if (c < band.minCoordinate) {
        c = band.minCoordinate;
    }
    return c;
}

double KnobTravel::linearValue(double clampedY, LinearBand band) {
    return (clampedY - band.minCoordinate) / (band.maxCoordinate - band.minCoordinate);
}

std::optional<double> KnobTravel::rotaryTheta(double dx, double dy) {
    if (dx == 0.0 && dy == 0.0) {
        return std::nullopt;
    }
    // The single-argument arctangent, turned into the full angle by the sign of dx; dx = 0
    // gives ±π/2 through the infinite quotient.
    double a = std::atan(dy / dx);
    if (dx < 0.0) {
        a += M_PI;
    }
    double t = 3.0 * M_PI / 2.0 - a;
    if (t < 0.0) {
        t += 2.0 * M_PI;
    }
    return t;
}

double KnobTravel::clampedKnobAngle(double thetaRadians, double startAngle, double endAngle) {
    const double phi = thetaRadians * 180.0 / M_PI;
    if (phi < startAngle) {
        return startAngle;
    }
    return std::min(phi, endAngle);
}

double KnobTravel::rotaryValue(double clampedKnobAngleDegrees, double startAngle, double endAngle) {
    return (clampedKnobAngleDegrees - startAngle) / (endAngle - startAngle);
}
