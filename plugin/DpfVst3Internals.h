// What DPF's VST3 wrapper keeps to itself, reached from the one file that compiles the wrapper
// (DpfVst3Main.cpp), for the mends in Vst3Guard.
#pragma once

#include "travesty/base.h"

namespace DpfVst3Internals {

// The id DPF gives the plugin's first parameter.
v3_param_id firstPluginParameter();

// The normalised value of the plugin's first parameter as DPF holds it for `controller` (an
// interface pointer to DPF's edit controller), as its controller answers for every other one.
double firstParameterNormalised(void* controller);

} // namespace DpfVst3Internals
