// The panel view: a soft two-colour gradient, pale yellow at the upper left blending into light
// orange at the lower right.
#pragma once

#include "Zelvar_BackgroundView.h"

class Zelvar_GradientView : public Zelvar_BackgroundView {
public:
    using Zelvar_BackgroundView::Zelvar_BackgroundView;

    void draw(toolkit::Rect dirtyRect) override;
};
