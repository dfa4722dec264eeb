// Glides a control value toward its target in equal steps, on a linear or a base-10
// logarithmic scale, so a knob change never jumps.
//
// The voice list glides the output level and the sustain level with these; every voice's
// low-pass filter glides its cutoff (logarithmic) and resonance (linear). The last, partial
// step always lands exactly on the target.
//
// Owners render runs of frames with a copy of the smoother in a local and call setTargetValue()
// and nextValue() once per frame inside their loop, exactly as a frame-by-frame caller would:
// both are inline, an unchanged target costs one comparison, and a landed glide one more, so a
// resting and a gliding smoother run through the same code and give the same bits however the
// frames are cut into runs.
#pragma once

#include "SameBits.h"

#include <cmath>

class Zelvar_ValueSmoother {
public:
    Zelvar_ValueSmoother() = default;

    void setMinValue(double value);
    void setMaxValue(double value);
    // The step size as a fraction of the whole (linear or logarithmic) range.
    void setNormalizedDelta(double delta) { normalizedDelta = delta; }
    void setLogarithmic(bool isLogarithmic) { logarithmic = isLogarithmic; }
    void setCurrentValue(double value);
    // Only a real change restarts the ramp: owners call this every frame with the same value.
    void setTargetValue(double target) {
        if (target != targetValue)
            retarget(target);
    }
    double nextValue() {
        if (stepCount - stepCounter < 1.0)
            currentValue = targetValue;
        else if (logarithmic)
            currentValue = denormalizedLog(normalizedLog(currentValue) + normalizedDelta);
        else
            currentValue += normalizedDelta * (maximum - minimum);
        stepCounter += 1.0;
        return currentValue;
    }

    // True when every further nextValue() returns the target unchanged: the ramp has landed
    // (and nothing retargets it).
    bool isResting() const { return stepCount - stepCounter < 1.0; }
    // What `steps` calls of nextValue() do to a resting smoother: the value is the target, and
    // the counter holds whole numbers, so one addition equals that many additions of 1.
    void rest(int steps) {
        currentValue = targetValue;
        stepCounter += steps;
    }

    // Every field with the same bits: the next steps of both give the same values.
    bool sameState(const Zelvar_ValueSmoother& o) const {
        return sameBits(currentValue, o.currentValue) && sameBits(targetValue, o.targetValue) &&
               sameBits(stepCount, o.stepCount) && sameBits(stepCounter, o.stepCounter) &&
               sameBits(normalizedDelta, o.normalizedDelta) && sameBits(maximum, o.maximum) &&
               sameBits(minimum, o.minimum) && logarithmic == o.logarithmic &&
               sameBits(log10Maximum, o.log10Maximum) && sameBits(log10Minimum, o.log10Minimum);
    }

    double getCurrentValue() const { return currentValue; }
    double getTargetValue() const { return targetValue; }

private:
    void retarget(double target);
    double normalizedLog(double value) const {
        return (std::log10(value) - log10Minimum) / (log10Maximum - log10Minimum);
    }
    double denormalizedLog(double normalized) const {
        return std::pow(10.0, normalized * (log10Maximum - log10Minimum) + log10Minimum);
    }

    double currentValue = 0.0;
    double targetValue = 0.0;
    double maximum = 0.0;
    double minimum = 0.0;
    double stepCount = 0.0;
    double stepCounter = 0.0;
    double normalizedDelta = 0.0;
    bool logarithmic = false;
    double log10Maximum = 0.0;
    double log10Minimum = 0.0;
};
