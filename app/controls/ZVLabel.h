// The caption under each knob: a borderless, non-editable label without background, its text
// centred and cut at the end when too long. Font, colour, text and frame are set by its user.
#pragma once

#include "TextLabel.h"

class ZVLabel : public toolkit::TextLabel {
public:
    ZVLabel();
};
