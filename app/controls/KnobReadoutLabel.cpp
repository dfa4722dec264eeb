// The readout's look: the window's background colour in a thin grey frame, dark grey text in the
// captions' family, a point smaller so that long names fit beside their values.
#include "KnobReadoutLabel.h"

#include "Font.h"
#include "PanelLayout.h"

namespace {
constexpr double fontSize = PanelLayout::readoutFontSize;
// Room beside the text inside the frame, on each side, beyond the label's own padding.
constexpr double sideMargin = 3.0;
} // namespace

KnobReadoutLabel::KnobReadoutLabel() : TextLabel(toolkit::Rect{}) {
    setEditable(false);
    setBordered(true);
    setDrawsBackground(true);
    setBackgroundColor(PanelLayout::readoutBackgroundColor());
    setTextColor(toolkit::Color::darkGray());
    setAlignment(toolkit::TextAlignment::center);
    setFont(toolkit::Font::withName(PanelLayout::fontFamily, fontSize)
                .value_or(toolkit::Font::systemFont(fontSize)));
    setHidden(true);
}

toolkit::Rect KnobReadoutLabel::placement(const toolkit::Rect& knobFrame, toolkit::Size size,
                                          double parentWidth) {
    return PanelLayout::readoutFrame(knobFrame, size, parentWidth);
}

void KnobReadoutLabel::present(const toolkit::Rect& knobFrame, const std::string& text) {
    setStringValue(text);
    toolkit::Size size = fittingSize();
    size.width += 2 * sideMargin;
    const double parentWidth = superview() != nullptr ? superview()->frame().width() : size.width;
    setFrame(placement(knobFrame, size, parentWidth));
    raise();
    setHidden(false);
}

void KnobReadoutLabel::dismiss() {
    setHidden(true);
}
