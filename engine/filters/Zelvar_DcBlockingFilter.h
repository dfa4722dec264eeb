// First-order DC blocker: y = x - previous input + R * previous output.
//
// Sits at the end of the band-limited oscillator's triangle path, where two leaky integrators
// leave a slowly wandering offset; the zero at DC removes it while the pole at R keeps the
// audible band flat (R = 0.995 puts the -3 dB corner near 35 Hz at 44100 Hz).
#pragma once

class Zelvar_DcBlockingFilter {
public:
    explicit Zelvar_DcBlockingFilter(double previousInput = 0.0, double previousOutput = 0.0,
                                     double coefficientR = 0.995)
        : previousInput(previousInput), previousOutput(previousOutput), coefficientR(coefficientR) {
    }

    double process(double x);

private:
    double previousInput;
    double previousOutput;
    double coefficientR;
};
