// Linear or logarithmic glide toward a target in equal steps.
#include "Zelvar_ValueSmoother.h"

#include <cmath>

void Zelvar_ValueSmoother::setMinValue(double value) {
    minimum = value;
    log10Minimum = std::log10(value);
}

void Zelvar_ValueSmoother::setMaxValue(double value) {
    maximum = value;
    log10Maximum = std::log10(value);
}

void Zelvar_ValueSmoother::setCurrentValue(double value) {
    currentValue = value;
    targetValue = value;
    stepCount = 0.0;
    stepCounter = 0.0;
}

void Zelvar_ValueSmoother::retarget(double target) {
    // Clamped at the top only: the owners never ask for less than the minimum.
    targetValue = target <= maximum ? target : maximum;
    if ((currentValue > targetValue && normalizedDelta > 0.0) ||
        (targetValue > currentValue && normalizedDelta < 0.0))
        normalizedDelta = -normalizedDelta;
    if (logarithmic)
        stepCount =
            std::fabs((normalizedLog(targetValue) - normalizedLog(currentValue)) / normalizedDelta);
    else
        stepCount =
            std::fabs((targetValue - currentValue) / ((maximum - minimum) * normalizedDelta));
    stepCounter = 0.0;
}
