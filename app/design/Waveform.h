// The pictures a waveform image view can draw. The waveform knob selects the five that match
// the engine's panel waveforms; the two pulse pictures exist but draw nothing.
#pragma once

#include <cstdint>

enum class Waveform : int32_t {
    sine = 0,
    triangle = 1,
    sawtooth = 2,
    square = 3,
    pulse25 = 4,
    pulse75 = 5,
    noise = 6,
};
