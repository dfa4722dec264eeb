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

double Zelvar_ValueSmoother::normalizedLog(double value) const {
    return (std::log10(value) - log10Minimum) / (log10Maximum - log10Minimum);
}

double Zelvar_ValueSmoother::denormalizedLog(double normalized) const {
    return std::pow(10.0, normalized * (log10Maximum - log10Minimum) + log10Minimum);
}

// Owners call this every sample with the same value; only a real change restarts the ramp.
void Zelvar_ValueSmoother::setTargetValue(double target) {
    if (target == targetValue)
        return;
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

double Zelvar_ValueSmoother::nextValue() {
    if (stepCount - stepCounter < 1.0) {
        currentValue = targetValue;
        stepCounter += 1.0;
        return targetValue;
    }
    if (logarithmic)
        currentValue = denormalizedLog(normalizedLog(currentValue) + normalizedDelta);
    else
        currentValue += normalizedDelta * (maximum - minimum);
    stepCounter += 1.0;
    return currentValue;
}
