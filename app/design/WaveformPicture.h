// The geometry of the waveform pictures: one open polyline per waveform in a view of a given
// size, y up, inside an empty margin that is a fraction of the width and height. The first
// point is where the path starts; a line goes to each next point. The pulse pictures are empty.
#pragma once

#include "Geometry.h"
#include "Waveform.h"

#include <optional>
#include <vector>

class WaveformPicture {
public:
    static std::vector<toolkit::Point> points(Waveform waveform, double width, double height,
                                              double margin);
    // The picture at a position of the waveform knob: sine, triangle, sawtooth, square, noise.
    static std::optional<Waveform> forKnobPosition(long long position);
};
