#include "WindowKeyboard.h"

#include <QApplication>
#include <QWidget>

#include <cctype>

uint32_t WindowKeyboard::scanCodeAt(char qwertyLabel) {
    // Linux input event codes (KEY_Q = 16 …), plus the 8 that X11 and Wayland add.
    static const char* const rows[] = {"QWERTYUIOP", "ASDFGHJKL;'", "ZXCVBNM"};
    static const int firstCode[] = {16, 30, 44};
    const char label = static_cast<char>(std::toupper(static_cast<unsigned char>(qwertyLabel)));
    for (int row = 0; row < 3; ++row)
        for (int i = 0; rows[row][i] != '\0'; ++i)
            if (rows[row][i] == label)
                return static_cast<uint32_t>(firstCode[row] + i + 8);
    return 0;
}

bool WindowKeyboard::send(QEvent::Type type, uint32_t scanCode, int key, bool autoRepeat,
                          Qt::KeyboardModifiers modifiers) {
    QWidget* receiver = QApplication::focusWidget();
    if (receiver == nullptr)
        receiver = QApplication::activeWindow();
    if (receiver == nullptr)
        return false;
    const QString text = key >= 0x20 && key < 0x7f
                             ? QString(QChar(std::tolower(static_cast<unsigned char>(key))))
                             : QString();
    QKeyEvent event(type, key, modifiers, scanCode, 0, 0, text, autoRepeat);
    QApplication::sendEvent(receiver, &event);
    QCoreApplication::processEvents();
    return true;
}

bool WindowKeyboard::press(uint32_t scanCode, int key, bool autoRepeat,
                           Qt::KeyboardModifiers modifiers) {
    return send(QEvent::KeyPress, scanCode, key, autoRepeat, modifiers);
}

bool WindowKeyboard::release(uint32_t scanCode, int key, bool autoRepeat,
                             Qt::KeyboardModifiers modifiers) {
    return send(QEvent::KeyRelease, scanCode, key, autoRepeat, modifiers);
}
