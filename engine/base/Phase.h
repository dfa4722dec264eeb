// Advancing a phase held in cycles. The usual step is one subtraction at the wrap; a negative or
// above-rate increment would walk the phase out of [0, 1), where the waveforms are not defined,
// so those cases are folded back as well.
#pragma once

#include <cmath>

inline double advancePhase(double phase, double increment) {
    phase += increment;
    if (phase >= 1.0)
        phase -= 1.0;
    if (phase < 0.0 || phase >= 1.0)
        phase -= std::floor(phase);
    if (phase >= 1.0) // a tiny negative phase rounds up to 1.0 above
        phase = 0.0;
    return phase;
}
