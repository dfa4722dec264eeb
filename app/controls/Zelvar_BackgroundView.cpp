// The background view adds nothing to the toolkit view; it is the panel's base class.
#include "Zelvar_BackgroundView.h"

Zelvar_BackgroundView::Zelvar_BackgroundView() : Zelvar_BackgroundView(toolkit::Rect{}) {}

Zelvar_BackgroundView::Zelvar_BackgroundView(toolkit::Rect frame) : View(frame) {}
