// The pointer reaches the outer rim, across the ring, so it shows over both the inner disc
// and the ring.
#include "Zelvar_SimpleLineKnob.h"

#include "PanelPainting.h"

void Zelvar_SimpleLineKnob::drawInside() {
    PanelPainting::linePointer(look(), frame().size, value);
}
