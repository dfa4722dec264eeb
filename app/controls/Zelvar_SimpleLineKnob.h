// A knob with a pointer line from its centre to the rim at its value; eight of the panel's
// nine knobs are line knobs.
#pragma once

#include "Zelvar_SimpleKnob.h"

class Zelvar_SimpleLineKnob : public Zelvar_SimpleKnob {
public:
    using Zelvar_SimpleKnob::Zelvar_SimpleKnob;

    void drawInside() override;
};
