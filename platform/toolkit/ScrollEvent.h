// A mouse wheel or touchpad scroll as the controls read it. Deltas are in eighths of a degree
// of wheel rotation, so one notch of a common wheel is 120; touchpads and high-resolution
// wheels send smaller deltas more often. Positive y is the wheel turned away from the user.
#pragma once

#include "Geometry.h"

namespace toolkit {

struct ScrollEvent {
    Point locationInWindow;
    double deltaX = 0.0;
    double deltaY = 0.0;
    // The system turns the deltas round ("natural scrolling"): a control that must follow the
    // wheel's own direction negates them.
    bool isDirectionInvertedFromDevice = false;
};

} // namespace toolkit
