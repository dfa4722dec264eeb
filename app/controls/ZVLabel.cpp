// Caption set-up.
#include "ZVLabel.h"

ZVLabel::ZVLabel() : TextLabel(toolkit::Rect{}) {
    setEditable(false);
    setBordered(false);
    setDrawsBackground(false);
    setLineBreakMode(static_cast<toolkit::LineBreakMode>(4));
    setAlignment(static_cast<toolkit::TextAlignment>(2));
}
