// A mouse event as the controls read it: the pointer in window coordinates (y up, origin at
// the lower-left corner of the window's content) and the number of the click in a run of
// quick clicks (1 for a single press, 2 for the second press of a double click).
#pragma once

#include "Geometry.h"

namespace toolkit {

struct MouseEvent {
    Point locationInWindow;
    int clickCount = 1;
};

} // namespace toolkit
