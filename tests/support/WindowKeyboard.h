// Keys typed on a desktop, for tests: delivered as the window system delivers them, to the widget
// with key focus in the active window (or to the window itself), and passed up through its
// parents while unhandled. Unlike the offscreen platform's own key events, these carry the scan
// code a Linux desktop reports for the key, its evdev code plus 8.
#pragma once

#include <QKeyEvent>

#include <cstdint>

class WindowKeyboard {
public:
    // The scan code of a key named by its US QWERTY label ('A', ';', '\''), the key that sits
    // in that place on any layout.
    static uint32_t scanCodeAt(char qwertyLabel);

    // `key` is what the key types on the layout in use (Qt::Key_Q for the QWERTY A place on
    // AZERTY). False when no window takes keys.
    static bool press(uint32_t scanCode, int key, bool autoRepeat = false,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static bool release(uint32_t scanCode, int key, bool autoRepeat = false,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Pressed and released where `qwertyLabel` sits on US QWERTY, typing that label.
    static bool pressAt(char qwertyLabel) { return press(scanCodeAt(qwertyLabel), qwertyLabel); }
    static bool releaseAt(char qwertyLabel) {
        return release(scanCodeAt(qwertyLabel), qwertyLabel);
    }

private:
    static bool send(QEvent::Type type, uint32_t scanCode, int key, bool autoRepeat,
                     Qt::KeyboardModifiers modifiers);
};
