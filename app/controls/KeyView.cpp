// A pressed key is drawn a shade darker: white keys light grey without their frame, black
// keys grey.
#include "KeyView.h"

#include "BezierPath.h"
#include "GraphicsContext.h"

using toolkit::Color;

KeyView::KeyView() : KeyView(toolkit::Rect{}) {}

KeyView::KeyView(toolkit::Rect frame) : View(frame) {}

void KeyView::draw(toolkit::Rect) {
    const toolkit::Rect area = toolkit::makeRect(0, 0, frame().width(), frame().height());
    const bool pressed = keyState == KeyState::isOn;
    if (keyType == KeyType::white) {
        (pressed ? Color::lightGray() : Color::white()).set();
        toolkit::BezierPath::withRect(area).fill();
        if (!pressed) {
            Color::lightGray().set();
            toolkit::GraphicsContext::frameRectWithWidth(area, 1.0);
        }
    } else {
        (pressed ? Color::gray() : Color::black()).set();
        toolkit::BezierPath::withRect(area).fill();
    }
}
