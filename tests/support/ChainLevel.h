// The level the engine's voice chain gives a unit sine, predicted from the filter designs rather
// than measured: the 4th-order low-pass (two identical sections) with its 2/Q make-up, the
// high-pass section with its 1/Q, the sustain level, the velocity gain, the master level and the
// mix's 0.1; the delay passes the dry signal at mix 0. The filters run at the engine's 44.1 kHz
// whatever rate the output is converted to.
#pragma once

#include "Corvena_Core.h"

namespace chain {

// Returns the parameter's value (in its unit) for the prediction.
using ParameterSource = double (*)(ParameterType type, const void* context);

double predictedSineLevel(double frequencyHz, int velocity, ParameterSource parameter,
                          const void* context);

// With the engine's present values, as DspGetParameterInfo reports them.
double predictedSineLevel(DspObject engine, double frequencyHz, int velocity);

// With the table's defaults, for hosts that cannot ask an engine (a plugin under another host).
double predictedSineLevelAtDefaults(double frequencyHz, int velocity);

} // namespace chain
