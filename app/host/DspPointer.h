// The process-wide engine handle. The audio unit wrapper sets it once during start-up, before
// any MIDI port or control can post; the MIDI parser and the main panel pass it to DspSetEvent.
#pragma once

#include "Corvena_Core.h"

extern DspObject dspPointer;
