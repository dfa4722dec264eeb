// Qt places a top-level window by its client area (menu bar included), so the client area is
// set to start one menu-bar height above where the content must sit.
#include "Zelvar_MainWindow.h"

#include <QEvent>
#include <QLayout>
#include <QMenuBar>

#include <cmath>

Qt::WindowFlags Zelvar_MainWindow::mainWindowStyle() {
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
           Qt::WindowMinimizeButtonHint;
}

QPoint Zelvar_MainWindow::topLeftOf(toolkit::Rect contentRect, QRect screen) {
    // Whole pixels towards the lower left, as the y-up origin was computed.
    const double x = screen.x() + contentRect.minX();
    const double top = screen.y() + screen.height() - contentRect.maxY();
    return QPoint(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(top)));
}

Zelvar_MainWindow::Zelvar_MainWindow(toolkit::Rect contentRect, Qt::WindowFlags styleMask,
                                     QRect screen)
    : QMainWindow(nullptr, styleMask),
      content(
          new toolkit::View(toolkit::makeRect(0, 0, contentRect.width(), contentRect.height()))),
      contentTopLeft(topLeftOf(contentRect, screen)) {
    content->setFixedSize(static_cast<int>(std::ceil(contentRect.width())),
                          static_cast<int>(std::ceil(contentRect.height())));
    setCentralWidget(content);
    // The window is exactly as large as its contents and cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    placeContent();
}

void Zelvar_MainWindow::installMenuBar(QMenuBar* menuBar) {
    setMenuBar(menuBar);
    placeContent();
}

void Zelvar_MainWindow::placeContent() {
    // The layout stacks the menu bar on the content, so whatever the window is taller than its
    // content lies above it (nothing when the desktop shows the menu bar outside the window).
    const QSize size = sizeHint();
    const int above = size.height() - content->height();
    setGeometry(contentTopLeft.x(), contentTopLeft.y() - above, size.width(), size.height());
}

void Zelvar_MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        if (auto* view = dynamic_cast<toolkit::View*>(focusWidget()))
            view->keyFocusLost();
    }
}
