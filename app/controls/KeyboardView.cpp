// The on-screen keyboard: key views, hit testing through the layout, and note routing.
#include "KeyboardView.h"

#include "ComputerKeyMap.h"

KeyboardView::KeyboardView() : KeyboardView(toolkit::Rect{}) {}

KeyboardView::KeyboardView(toolkit::Rect frame) : View(frame) {
    setAcceptsFirstResponder(true);
}

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

void KeyboardView::keyViewNoteOffUnlessHeld(int keyIndex) {
    const bool mouseHolds = mouseHoldsKey && keyIndex == currentKeyIndex;
    if (!mouseHolds && computerKeys.count(keyIndex) == 0)
        keyViewNoteOff(keyIndex);
}

void KeyboardView::mouseDown(const toolkit::MouseEvent& event) {
    const toolkit::Point p = pointOf(event);
    const int k = judgeKeyIndex(p.x, p.y);
    currentKeyIndex = k;
    mouseHoldsKey = true;
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
    const int previous = currentKeyIndex;
    currentKeyIndex = k;
    keyViewNoteOffUnlessHeld(previous);
    midiNoteOn(k);
    keyViewNoteOn(k);
}

void KeyboardView::mouseUp(const toolkit::MouseEvent&) {
    midiNoteOff(currentKeyIndex);
    mouseHoldsKey = false;
    keyViewNoteOffUnlessHeld(currentKeyIndex);
}

void KeyboardView::keyDown(const toolkit::KeyEvent& event) {
    const ComputerKeyMap::Binding binding = ComputerKeyMap::forKey(event.scanCode, event.keyCode);
    // With Control, Alt or Super held a key is a shortcut, not a note; Shift plays as usual.
    const unsigned shortcutModifiers =
        toolkit::KeyEvent::Control | toolkit::KeyEvent::Alternate | toolkit::KeyEvent::Command;
    if (binding.role == ComputerKeyMap::Role::none || (event.modifierFlags & shortcutModifiers)) {
        View::keyDown(event);
        return;
    }
    if (event.isARepeat)
        return;
    switch (binding.role) {
    case ComputerKeyMap::Role::note: {
        const int k = binding.keyIndex;
        if (k >= static_cast<int>(keyViewArray.size()) || !computerKeys.insert(k).second)
            return;
        midiNoteOn(k);
        keyViewNoteOn(k);
        return;
    }
    case ComputerKeyMap::Role::octaveDown:
    case ComputerKeyMap::Role::octaveUp:
        if (keyboardDelegate != nullptr)
            keyboardDelegate->keyboardOctaveStep(
                binding.role == ComputerKeyMap::Role::octaveUp ? 1 : -1);
        return;
    case ComputerKeyMap::Role::none:
        return;
    }
}

void KeyboardView::keyUp(const toolkit::KeyEvent& event) {
    const ComputerKeyMap::Binding binding = ComputerKeyMap::forKey(event.scanCode, event.keyCode);
    if (binding.role != ComputerKeyMap::Role::note) {
        View::keyUp(event);
        return;
    }
    // X11 reports a held key as release-press pairs, both marked as repeats; the note goes on.
    // A release is taken whatever the modifiers: a note started before Control went down must
    // still end.
    if (!event.isARepeat)
        computerKeyUp(binding.keyIndex);
}

void KeyboardView::computerKeyUp(int keyIndex) {
    if (computerKeys.erase(keyIndex) == 0)
        return;
    midiNoteOff(keyIndex);
    keyViewNoteOffUnlessHeld(keyIndex);
}

void KeyboardView::keyFocusLost() {
    // The releases of the keys held now will go elsewhere: end their notes here.
    while (!computerKeys.empty())
        computerKeyUp(*computerKeys.begin());
}

void KeyboardView::updateTrackingAreas() {
    trackWholeBounds(trackingArea);
}
