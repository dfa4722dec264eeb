// The main window: a top-level Qt window whose content area — the part below its menu bar — has
// the size and the on-screen place it is created with. The content is a toolkit view, the
// window coordinates of everything put into it (y up, origin at its lower-left corner).
//
// The window takes the style it is given and adds one behaviour: minimised, it makes the view
// that takes its keys let go of the ones held (the on-screen keyboard ends the notes played
// from the computer keyboard), even where the window manager leaves a minimised window active.
// Should a window manager close it although it has no close button, Qt ends the application's
// loop because it was the last window, and the program quits the way the Quit item makes it
// quit.
#pragma once

#include "Geometry.h"
#include "View.h"

#include <QMainWindow>
#include <QPoint>
#include <QRect>

class QMenuBar;

class Zelvar_MainWindow : public QMainWindow {
public:
    // The style of the main window: a title bar and a minimise button, no close button, no
    // maximise button.
    static Qt::WindowFlags mainWindowStyle();

    // `contentRect` is in screen coordinates with y up from the bottom edge of `screen` (the
    // screen's full geometry in Qt's y-down desktop coordinates).
    Zelvar_MainWindow(toolkit::Rect contentRect, Qt::WindowFlags styleMask, QRect screen);

    // The window's content view; the window owns it.
    toolkit::View* contentView() const { return content; }

    // Puts `menuBar` (owned by the window from now on) above the content, keeping the content
    // where it was asked to be and the window's size fixed to its contents.
    void installMenuBar(QMenuBar* menuBar);

    // Where the top-left corner of a y-up `contentRect` lies in Qt's y-down desktop coordinates.
    static QPoint topLeftOf(toolkit::Rect contentRect, QRect screen);

protected:
    void changeEvent(QEvent* event) override;

private:
    void placeContent();

    toolkit::View* content;
    QPoint contentTopLeft;
};
