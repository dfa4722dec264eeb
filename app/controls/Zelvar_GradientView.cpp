// The gradient is the panel's background as its description draws it.
#include "Zelvar_GradientView.h"

#include "PanelPainting.h"

void Zelvar_GradientView::draw(toolkit::Rect) {
    PanelPainting::background(frame().size);
}
