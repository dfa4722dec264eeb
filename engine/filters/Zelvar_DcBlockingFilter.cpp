// First-order DC blocker of the band-limited oscillator's triangle path.
#include "Zelvar_DcBlockingFilter.h"

double Zelvar_DcBlockingFilter::process(double x) {
    const double y = x - previousInput + coefficientR * previousOutput;
    previousInput = x;
    previousOutput = y;
    return y;
}
