// A region of a view that asks for entered, exited and moved events while the pointer is over
// it. The option values are the ones the controls pass.
#pragma once

#include "Geometry.h"

namespace toolkit {

class View;

class TrackingArea {
public:
    enum Option : unsigned {
        MouseEnteredAndExited = 0x01,
        MouseMoved = 0x02,
        ActiveAlways = 0x80,
    };

    TrackingArea(Rect rect, unsigned options, View* owner)
        : area(rect), optionBits(options), ownerView(owner) {}

    Rect rect() const { return area; }
    unsigned options() const { return optionBits; }
    View* owner() const { return ownerView; }

private:
    Rect area;
    unsigned optionBits;
    View* ownerView;
};

} // namespace toolkit
