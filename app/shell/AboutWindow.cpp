// The About window's layout, in y-up points of its content view. The four label frames overlap
// (each draws its one line at the top of its frame), so the lines read from the top at 170,
// 130, 110 and 75.
#include "AboutWindow.h"

#include "Font.h"
#include "TextLabel.h"
#include "Utility.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include <cmath>
#include <optional>
#include <string>

const char* const aboutCopyrightLine = "Copyright © 2026 Zelvar";

namespace {

struct AboutLine {
    std::string text;
    const char* fontName;
    double fontSize;
    double y;
    double height;
};

toolkit::TextLabel* makeLabel(const AboutLine& line, double contentWidth) {
    auto* label = new toolkit::TextLabel(toolkit::makeRect(0, line.y, contentWidth, line.height));
    label->setEditable(false);
    label->setBordered(false);
    label->setDrawsBackground(false);
    label->setAlignment(toolkit::TextAlignment::center);
    if (const std::optional<toolkit::Font> font =
            toolkit::Font::withName(line.fontName, line.fontSize))
        label->setFont(*font);
    label->setStringValue(line.text);
    return label;
}

} // namespace

AboutWindow::AboutWindow()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
    setModal(true);
    setWindowModality(Qt::ApplicationModal);
}

std::unique_ptr<AboutWindow> AboutWindow::build(QRect screen) {
    auto window = std::make_unique<AboutWindow>();
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    window->setFixedSize(w, h);
    // Centred on the screen's full geometry, by its client area as the main window is.
    window->setGeometry(screen.x() + (screen.width() - w) / 2,
                        screen.y() + (screen.height() - h) / 2, w, h);

    window->content = new toolkit::View(toolkit::makeRect(0, 0, width, height));
    window->content->setParent(window.get());
    window->content->setGeometry(0, 0, w, h);
    window->content->show();

    const AboutLine lines[] = {
        {"Corvena", "Futura", 15.0, 140.0, 30.0},
        {"Version " + getBuildVersion(), "Helvetica", 12.0, 80.0, 50.0},
        {"built on " + getBuildDate(), "Helvetica", 12.0, 60.0, 50.0},
        {aboutCopyrightLine, "Helvetica", 12.0, 50.0, 25.0},
    };
    for (const AboutLine& line : lines)
        window->content->addSubview(makeLabel(line, window->content->frame().width()));
    return window;
}

void AboutWindow::stopModal() {
    done(QDialog::Rejected);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        stopModal();
    // Every other key is dropped here, not handed to the dialog (which would act on Return).
    event->accept();
}

void AboutWindow::closeEvent(QCloseEvent* event) {
    if (delegate != nullptr)
        delegate->windowWillClose();
    QDialog::closeEvent(event);
}

AboutWindowController::AboutWindowController(AboutWindow* window) : aboutWindow(window) {}

void AboutWindowController::windowDidLoad() {
    aboutWindow->delegate = this;
}

void AboutWindowController::windowWillClose() {
    aboutWindow->stopModal();
}

void AboutWindowController::runModal() {
    aboutWindow->exec();
    aboutWindow->hide();
}
