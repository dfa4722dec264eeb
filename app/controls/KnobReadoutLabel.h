// The value readout of a knob: a small boxed label with the knob's parameter and value ("LPF
// Cutoff Frequency 1.25 kHz") that lies over the knob's caption while the pointer is over the
// knob or drags it. Over the caption it hides no knob and sits where the eye already looks for
// the knob's name; it never leaves the panel, so at the panel's edges it is pushed inwards.
//
// It only shows what it is given: the panel's controller supplies the text and says when.
#pragma once

#include "TextLabel.h"

class KnobReadoutLabel : public toolkit::TextLabel {
public:
    KnobReadoutLabel();

    // Shows `text` centred under `knobFrame` (both in the parent's coordinates), its top on the
    // knob's lower edge. The label must be in its parent already.
    void present(const toolkit::Rect& knobFrame, const std::string& text);
    void dismiss();
    bool isPresented() const { return !isHidden(); }

    // Where a label of `size` goes for a knob at `knobFrame` in a parent `parentWidth` wide.
    static toolkit::Rect placement(const toolkit::Rect& knobFrame, toolkit::Size size,
                                   double parentWidth);
};
