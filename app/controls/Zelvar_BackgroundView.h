// The plain base of the panel view: a transparent view that draws nothing of its own.
#pragma once

#include "View.h"

class Zelvar_BackgroundView : public toolkit::View {
public:
    Zelvar_BackgroundView();
    explicit Zelvar_BackgroundView(toolkit::Rect frame);
};
