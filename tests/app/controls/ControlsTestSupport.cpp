#include "ControlsTestSupport.h"

#include "ColorCode.h"
#include "Zelvar_SimpleKnob.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <cstdlib>

Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace {
int mouseClock = 1000000;
}

MouseDriver::MouseDriver(toolkit::View& content) : view(content) {
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        std::fprintf(stderr, "window not exposed\n");
    }
}

void MouseDriver::send(double x, double y, Qt::MouseButtons state, QEvent::Type type, int gap) {
    mouseClock += gap;
    QWindow* window = view.windowHandle();
    const QPointF local(x, view.height() - y);
    qt_handleMouseEvent(window, local, window->mapToGlobal(local), state, Qt::LeftButton, type,
                        Qt::NoModifier, mouseClock);
    QCoreApplication::processEvents();
}

void MouseDriver::move(double x, double y) {
    send(x, y, Qt::NoButton, QEvent::MouseMove, 10);
}

void MouseDriver::wheel(double x, double y, int deltaY, bool inverted) {
    mouseClock += 10;
    QWindow* window = view.windowHandle();
    const QPointF local(x, view.height() - y);
    // From the widget under the pointer up through its parents until one takes it: what Qt
    // does for wheel events from the window system, and not for events sent by a program.
    QWidget* target = view.childAt(local.toPoint());
    for (QWidget* w = target != nullptr ? target : &view; w != nullptr; w = w->parentWidget()) {
        const QPointF inWidget = w->mapFrom(&view, local);
        QWheelEvent event(inWidget, window->mapToGlobal(local), QPoint(), QPoint(0, deltaY),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, inverted);
        QApplication::sendEvent(w, &event);
        if (event.isAccepted() || w == &view)
            break;
    }
    QCoreApplication::processEvents();
}

void RecordingKnobDelegate::knobReadoutChanged(Zelvar_SimpleKnob* knob) {
    readoutNotices.push_back(knob->showsReadout());
}

void MouseDriver::press(double x, double y, int millisecondsSinceLast) {
    send(x, y, Qt::LeftButton, QEvent::MouseButtonPress, millisecondsSinceLast);
}

void MouseDriver::drag(double x, double y) {
    send(x, y, Qt::LeftButton, QEvent::MouseMove, 10);
}

void MouseDriver::release(double x, double y) {
    send(x, y, Qt::NoButton, QEvent::MouseButtonRelease, 10);
}

void drainMainQueue() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

QImage render(toolkit::View& view, double devicePixelRatio) {
    const QSize size(static_cast<int>(std::ceil(view.frame().width() * devicePixelRatio)),
                     static_cast<int>(std::ceil(view.frame().height() * devicePixelRatio)));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    // Only the view and its subviews: no window background behind them.
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QColor pixelAt(const QImage& image, double viewHeight, double x, double y) {
    const double ratio = image.devicePixelRatio();
    const int px = static_cast<int>(std::floor(x * ratio));
    const int py = static_cast<int>(std::floor((viewHeight - y) * ratio));
    return image.convertToFormat(QImage::Format_ARGB32).pixelColor(px, py);
}

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance &&
           std::abs(a.alpha() - b.alpha()) <= tolerance;
}

std::string describe(const QColor& c) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", c.red(), c.green(), c.blue(), c.alpha());
    return text;
}

QColor fromCode(const char* code) {
    return initWithColorCode(code).toQColor();
}
