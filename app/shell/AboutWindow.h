// The About window: four centred lines — the product name, the version, the build date and the
// copyright — in a small modal window with a title bar and a close button. Its controller runs
// it modally: until it closes, the main window takes no mouse or key input, while the audio and
// MIDI threads go on (and the main queue keeps running, so MIDI hot-plug still connects).
//
// It ends with the close button or the Escape key; every other key is dropped.
#pragma once

#include "View.h"

#include <QDialog>

#include <memory>

class QKeyEvent;
class AboutWindowController;

class AboutWindow : public QDialog {
public:
    static constexpr double width = 360.0;
    static constexpr double height = 240.0;

    AboutWindow();

    // Builds the window: size, centring on `screen` (the full geometry of the main screen),
    // style, and the four labels in its content view.
    static std::unique_ptr<AboutWindow> build(QRect screen);

    // The window's content view (y up, 360 × 240); the window owns it.
    toolkit::View* contentView() const { return content; }

    // Not owned; told when the window is about to close.
    AboutWindowController* delegate = nullptr;

    // Ends the modal run of the window.
    void stopModal();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    toolkit::View* content = nullptr;
};

class AboutWindowController {
public:
    explicit AboutWindowController(AboutWindow* window);

    // Makes the controller the delegate of its window.
    void windowDidLoad();
    // The window is closing (its close button): the modal run ends.
    void windowWillClose();
    // Shows the window modally; returns once it is closed, with the window off the screen.
    void runModal();

    AboutWindow* window() const { return aboutWindow; }

private:
    AboutWindow* aboutWindow;
};

// The copyright line of the About window.
extern const char* const aboutCopyrightLine;
