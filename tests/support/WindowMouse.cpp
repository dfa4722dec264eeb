#include "WindowMouse.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace {
int mouseClock = 5000000;
} // namespace

QPointF WindowMouse::inWindow(double x, double y) const {
    return QPointF(target.mapTo(target.window(), QPoint(0, 0))) + QPointF(x, target.height() - y);
}

void WindowMouse::send(double x, double y, Qt::MouseButtons buttons, QEvent::Type type, int gap) {
    mouseClock += gap;
    QWindow* window = target.window()->windowHandle();
    const QPointF local = inWindow(x, y);
    qt_handleMouseEvent(window, local, window->mapToGlobal(local), buttons, Qt::LeftButton, type,
                        Qt::NoModifier, mouseClock);
    QCoreApplication::processEvents();
}

void WindowMouse::press(double x, double y, int millisecondsSinceLast) {
    send(x, y, Qt::LeftButton, QEvent::MouseButtonPress, millisecondsSinceLast);
}

void WindowMouse::drag(double x, double y) {
    send(x, y, Qt::LeftButton, QEvent::MouseMove, 10);
}

void WindowMouse::release(double x, double y) {
    send(x, y, Qt::NoButton, QEvent::MouseButtonRelease, 10);
}

void WindowMouse::move(double x, double y) {
    send(x, y, Qt::NoButton, QEvent::MouseMove, 10);
}

void WindowMouse::wheel(double x, double y, int deltaY, bool inverted) {
    mouseClock += 10;
    QWidget* top = target.window();
    QWindow* window = top->windowHandle();
    const QPointF local = inWindow(x, y);
    // From the widget under the pointer up through its parents until one takes it: what Qt
    // does for wheel events from the window system, and not for events sent by a program.
    QWidget* under = top->childAt(local.toPoint());
    for (QWidget* w = under != nullptr ? under : top; w != nullptr; w = w->parentWidget()) {
        const QPointF inWidget = w->mapFrom(top, local);
        QWheelEvent event(inWidget, window->mapToGlobal(local), QPoint(), QPoint(0, deltaY),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, inverted);
        QApplication::sendEvent(w, &event);
        if (event.isAccepted() || w == top)
            break;
    }
    QCoreApplication::processEvents();
}
