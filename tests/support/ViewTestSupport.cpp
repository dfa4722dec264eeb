#include "ViewTestSupport.h"

#include <QCoreApplication>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

toolkit::View& shown(toolkit::View& content) {
    content.show();
    if (!QTest::qWaitForWindowExposed(&content))
        std::fprintf(stderr, "window not exposed\n");
    return content;
}

} // namespace

MouseDriver::MouseDriver(toolkit::View& content) : WindowMouse(shown(content)) {}

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
