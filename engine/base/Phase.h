// Advancing a phase held in cycles, in [0, 1), where the waveforms are defined.
#pragma once

#include <cmath>

// The usual step: one subtraction at the wrap. Exact, and enough, for a phase in [0, 1) advanced
// by an increment in [0, 1); the hot loops of the oscillators whose increments stay there use it
// alone.
inline double wrapPhaseOnce(double phase) {
    if (phase >= 1.0)
        phase -= 1.0;
    return phase;
}

// Any increment: a negative or above-rate one would walk the phase out of [0, 1) after the one
// subtraction, so those cases are folded back as well. Equal to wrapPhaseOnce(phase + increment)
// wherever that stays in [0, 1).
inline double advancePhase(double phase, double increment) {
    phase = wrapPhaseOnce(phase + increment);
    if (phase < 0.0 || phase >= 1.0)
        phase -= std::floor(phase);
    if (phase >= 1.0) // a tiny negative phase rounds up to 1.0 above
        phase = 0.0;
    return phase;
}
