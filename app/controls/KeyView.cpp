// Keys are drawn as the panel's description says; the view adds only where and in which state.
#include "KeyView.h"

#include "PanelPainting.h"

KeyView::KeyView() : KeyView(toolkit::Rect{}) {}

KeyView::KeyView(toolkit::Rect frame) : View(frame) {}

void KeyView::draw(toolkit::Rect) {
    PanelPainting::key(keyType, keyState == KeyState::isOn, frame().size);
}
