// The entry point: the application object, the delegate, the launch, the event loop.
//
// Start-up failures end the program with one line on stderr, "Corvena: " and what was missing,
// and a non-zero status: no display (checked before Qt is asked, since Qt aborts with several
// lines of its own when it cannot reach one), no screen, no audio output, no engine resources.
// Started from a desktop menu nobody reads stderr, so when it is not a terminal and a window
// can be shown, the same message also appears in a dialog before the program stops.
//
// SIGINT and SIGTERM (Ctrl+C in the terminal) quit through the main loop like the Quit item.
#include "AppDelegate.h"
#include "QuitSignals.h"
#include "Utility.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int startUpFailed = 1;

[[noreturn]] void stop(const std::string& message) {
    AppDelegate::say(message);
    // Whatever was already running (an output stream, a MIDI client) ends with the process;
    // nothing is torn down on the way.
    std::_Exit(startUpFailed);
}

// The same, with the message shown in a dialog first when no terminal is there to read it. A
// quit signal closes the dialog, and the program still stops.
[[noreturn]] void stopWithDialog(const std::string& message) {
    AppDelegate::say(message);
    if (!isatty(STDERR_FILENO)) {
        QMessageBox box(QMessageBox::Critical, "Corvena",
                        "Corvena cannot start.\n\n" + QString::fromStdString(message),
                        QMessageBox::Close);
        QuitSignals::setAction([&box] { box.reject(); });
        box.exec();
    }
    std::_Exit(startUpFailed);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The windowing systems Qt would try on its own, and whether one of them is reachable at all.
// A platform named in QT_QPA_PLATFORM other than these (offscreen, vnc, ...) is left to Qt.
bool displayNamed(std::string& why) {
    const std::string platform = environment("QT_QPA_PLATFORM");
    const bool x11 = !environment("DISPLAY").empty();
    const bool wayland = !environment("WAYLAND_DISPLAY").empty();
    if (platform.empty() && !x11 && !wayland) {
        why = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
        return false;
    }
    if (platform == "xcb" && !x11) {
        why = "no display: QT_QPA_PLATFORM is xcb but DISPLAY is not set";
        return false;
    }
    return true;
}

// While the application object is made, Qt's messages are held back: if it cannot start the
// windowing system it ends with a fatal message, and the user gets one line saying so instead
// of Qt's several. Otherwise the held messages go out as usual.
std::vector<std::pair<QtMsgType, QString>> heldMessages;
QtMessageHandler previousHandler = nullptr;

void holdMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::string first = heldMessages.empty() ? message.toStdString()
                                                 : heldMessages.front().second.toStdString();
        const size_t newline = first.find('\n');
        if (newline != std::string::npos)
            first.resize(newline);
        stop("no display: the windowing system could not be started (" + first + ")");
    }
    heldMessages.emplace_back(type, message);
}

void releaseMessages() {
    qInstallMessageHandler(previousHandler);
    for (const auto& [type, message] : heldMessages) {
        const QMessageLogContext context;
        qt_message_output(type, context, message);
    }
    heldMessages.clear();
}

} // namespace

int main(int argc, char** argv) {
    std::string why;
    if (!displayNamed(why))
        stop(why);

    previousHandler = qInstallMessageHandler(holdMessages);
    QApplication application(argc, argv);
    releaseMessages();
    QApplication::setApplicationName("Corvena");
    QApplication::setApplicationVersion(QString::fromStdString(getBuildVersion()));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName("corvena");
    QuitSignals::install();

    delegate = new AppDelegate();
    if (!delegate->applicationDidFinishLaunching())
        stopWithDialog(delegate->failureMessage());

    application.exec();
    delegate->applicationWillTerminate();
    std::fflush(stdout);
    std::fflush(stderr);
    // The audio and MIDI threads run until the process ends; leaving without the static
    // destructors keeps them from running against objects being destroyed under them.
    std::_Exit(0);
}
