// The on-screen keyboard: key views, hit testing through the layout, and note routing.
#include "KeyboardView.h"

KeyboardView::KeyboardView() : KeyboardView(toolkit::Rect{}) {}

KeyboardView::KeyboardView(toolkit::Rect frame) : View(frame) {}

KeyboardView::~KeyboardView() {
    if (trackingArea) {
        removeTrackingArea(trackingArea.get());
    }
}

void KeyboardView::initialize() {
    keyViewArray.assign(static_cast<size_t>(12 * octaves + 1), nullptr);
    layout.compute(frame().width(), frame().height(), octaves);
    drawKeyboard();
}

void KeyboardView::drawKeyboard() {
    for (const KeyboardLayout::Key& key : layout.keys()) {
        auto* keyView = new KeyView(key.frame);
        keyView->keyType = key.keyType;
        keyView->keyState = KeyState::isOff;
        addSubview(keyView);
        keyView->display();
        keyViewArray[static_cast<size_t>(key.keyIndex)] = keyView;
    }
}

void KeyboardView::midiNoteOn(int keyIndex) {
    const int note = 60 + keyIndex;
    // Only reachable with allowOutsideTracking: a key beyond the MIDI range is not sent.
    if (keyboardDelegate != nullptr && note >= 0 && note <= 127) {
        keyboardDelegate->dspNoteOn(static_cast<double>(note), 100.0);
    }
}

void KeyboardView::midiNoteOff(int keyIndex) {
    const int note = 60 + keyIndex;
    if (keyboardDelegate != nullptr && note >= 0 && note <= 127) {
        keyboardDelegate->dspNoteOff(static_cast<double>(note));
    }
}

int KeyboardView::judgeKeyIndex(double xCoordinate, double yCoordinate) const {
    return layout.judgeKeyIndex(xCoordinate, yCoordinate, allowOutsideTracking);
}

void KeyboardView::keyViewNoteOn(int keyIndex) {
    if (keyIndex >= 0 && static_cast<size_t>(keyIndex) < keyViewArray.size()) {
        if (KeyView* key = keyViewArray[static_cast<size_t>(keyIndex)]) {
            key->keyState = KeyState::isOn;
            key->display();
        }
    }
}

void KeyboardView::keyViewNoteOff(int keyIndex) {
    if (keyIndex >= 0 && static_cast<size_t>(keyIndex) < keyViewArray.size()) {
        if (KeyView* key = keyViewArray[static_cast<size_t>(keyIndex)]) {
            key->keyState = KeyState::isOff;
            key->display();
        }
    }
}

toolkit::Point KeyboardView::pointOf(const toolkit::MouseEvent& event) const {
    const toolkit::Point inView = convertPointFromWindow(event.locationInWindow);
    return toolkit::Point{inView.x - frame().minX(), inView.y - frame().minY()};
}

void KeyboardView::mouseDown(const toolkit::MouseEvent& event) {
    const toolkit::Point p = pointOf(event);
    const int k = judgeKeyIndex(p.x, p.y);
    currentKeyIndex = k;
    midiNoteOn(k);
    keyViewNoteOn(k);
}

void KeyboardView::mouseDragged(const toolkit::MouseEvent& event) {
    const toolkit::Point p = pointOf(event);
    const int k = judgeKeyIndex(p.x, p.y);
    if (k == currentKeyIndex) {
        return;
    }
    midiNoteOff(currentKeyIndex);
    keyViewNoteOff(currentKeyIndex);
    currentKeyIndex = k;
    midiNoteOn(k);
    keyViewNoteOn(k);
}

void KeyboardView::mouseUp(const toolkit::MouseEvent&) {
    midiNoteOff(currentKeyIndex);
    keyViewNoteOff(currentKeyIndex);
}

void KeyboardView::updateTrackingAreas() {
    trackWholeBounds(trackingArea);
}
