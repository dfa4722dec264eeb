// Glides a control value toward its target in equal steps, on a linear or a base-10
// logarithmic scale, so a knob change never jumps.
//
// The voice list glides the output level and the sustain level with these; every voice's
// low-pass filter glides its cutoff (logarithmic) and resonance (linear). The last, partial
// step always lands exactly on the target.
#pragma once

class Zelvar_ValueSmoother {
public:
    Zelvar_ValueSmoother() = default;

    void setMinValue(double value);
    void setMaxValue(double value);
    // The step size as a fraction of the whole (linear or logarithmic) range.
    void setNormalizedDelta(double delta) { normalizedDelta = delta; }
    void setLogarithmic(bool isLogarithmic) { logarithmic = isLogarithmic; }
    void setCurrentValue(double value);
    void setTargetValue(double target);
    double nextValue();

    // True when every further nextValue() returns the target unchanged: the ramp has landed
    // (and nothing retargets it).
    bool isResting() const { return stepCount - stepCounter < 1.0; }
    // Exactly what `steps` calls of nextValue() do to a resting smoother; the counter holds whole
    // numbers, so one addition equals that many additions of 1.
    void rest(int steps) {
        currentValue = targetValue;
        stepCounter += steps;
    }

    double getCurrentValue() const { return currentValue; }
    double getTargetValue() const { return targetValue; }

private:
    double normalizedLog(double value) const;
    double denormalizedLog(double normalized) const;

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
