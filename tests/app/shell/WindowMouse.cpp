#include "WindowMouse.h"

#include <QCoreApplication>
#include <QWidget>
#include <QWindow>

Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace {
// Far apart unless dragging, so every press counts as a single click.
int mouseClock = 5000000;
} // namespace

void WindowMouse::send(double x, double y, Qt::MouseButtons buttons, QEvent::Type type, int gap) {
    mouseClock += gap;
    QWidget* top = target.window();
    QWindow* window = top->windowHandle();
    const QPointF inView(x, target.height() - y);
    const QPointF local = QPointF(target.mapTo(top, QPoint(0, 0))) + inView;
    qt_handleMouseEvent(window, local, window->mapToGlobal(local), buttons, Qt::LeftButton, type,
                        Qt::NoModifier, mouseClock);
    QCoreApplication::processEvents();
}

void WindowMouse::press(double x, double y) {
    send(x, y, Qt::LeftButton, QEvent::MouseButtonPress, 2000);
}

void WindowMouse::drag(double x, double y) {
    send(x, y, Qt::LeftButton, QEvent::MouseMove, 10);
}

void WindowMouse::release(double x, double y) {
    send(x, y, Qt::NoButton, QEvent::MouseButtonRelease, 10);
}
