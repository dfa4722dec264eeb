// Start-up order: the panel is built before the engine exists and posts nothing; the engine
// starts from its own defaults, which the knobs already show. The engine handle is written
// before any MIDI port exists, and no user input is handled until the launch has returned to
// the event loop, so nothing can post to an engine that is not there yet.
#include "AppDelegate.h"

#include "AboutWindow.h"
#include "AudioUnitWrapper.h"
#include "ColorCode.h"
#include "MIDIInput.h"
#include "MIDIObject.h"
#include "MainQueue.h"
#include "MidiServices.h"
#include "OutputUnitServices.h"
#include "QtGraphicsContext.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#ifdef CORVENA_SHELL_QUIET_ALSA
#include <alsa/asoundlib.h>
#endif

AppDelegate* delegate = nullptr;

namespace {

#ifdef CORVENA_SHELL_QUIET_ALSA
void dropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
#endif

// While the audio output looks for a device, ALSA's library would print its own lines for every
// card it does not find; the wrapper's one line says what failed, so they are dropped for that
// moment and ALSA's usual reporting comes back afterwards.
class QuietAlsa {
public:
#ifdef CORVENA_SHELL_QUIET_ALSA
    QuietAlsa() {
        snd_lib_error_set_handler(dropAlsaMessage);
    }
    ~QuietAlsa() {
        snd_lib_error_set_handler(nullptr);
    }
#endif
};

} // namespace

AppDelegate::AppDelegate() : windowBackgroundColor(initWithColorCode("#fefff9")) {}

bool AppDelegate::fail(std::string message) {
    failure = std::move(message);
    return false;
}

toolkit::Rect AppDelegate::centredContentRect(toolkit::Size screenSize, toolkit::Size size) {
    return toolkit::makeRect((screenSize.width - size.width) * 0.5,
                             (screenSize.height - size.height) * 0.5, size.width, size.height);
}

QRect AppDelegate::mainScreenFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect();
}

bool AppDelegate::applicationDidFinishLaunching() {
    buildMainMenu();
    if (!openMainWindow())
        return false;
    if (!startAudio())
        return false;
    startMidi();
    return true;
}

void AppDelegate::buildMainMenu() {
    mainMenu = new QMenuBar();
    QMenu* applicationMenu = mainMenu->addMenu("Corvena");
    aboutItem = applicationMenu->addAction("About Corvena");
    QObject::connect(aboutItem, &QAction::triggered, [this] { showAboutWindow(); });
    quitItem = applicationMenu->addAction("Quit");
    // Ctrl+Q: the desktop's quit key.
    quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quitItem, &QAction::triggered, [this] { terminate(); });
}

bool AppDelegate::openMainWindow() {
    const QRect screen = mainScreenFrame();
    if (screen.isEmpty())
        return fail("no display: the windowing system reports no screen");
    const toolkit::Rect contentRect = centredContentRect(
        toolkit::Size{double(screen.width()), double(screen.height())}, windowSize);

    mainWindowController = std::make_unique<Zelvar_MainWindow>(
        contentRect, Zelvar_MainWindow::mainWindowStyle(), screen);
    Zelvar_MainWindow* window = mainWindowController.get();
    if (mainMenu != nullptr)
        window->installMenuBar(mainMenu);
    window->setWindowTitle("Corvena");
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, toolkit::toQColor(windowBackgroundColor));
    window->setPalette(palette);

    mainViewController = std::make_unique<MainViewController>();
    window->contentView()->addSubview(mainViewController->view());

    window->show();
    window->activateWindow();
    return true;
}

bool AppDelegate::startAudio() {
    const QuietAlsa quiet;
    if (!audioUnitWrapper.initialize())
        return fail(audioUnitWrapper.failureMessage());
    say(audioUnitWrapper.startLine());
    outputWatch = new QTimer(mainWindowController.get());
    QObject::connect(outputWatch, &QTimer::timeout, [this] { showOutputState(); });
    outputWatch->start(250);
    return true;
}

void AppDelegate::showOutputState() {
    // The output's reporter says the same on stderr; a window started from a desktop menu has
    // no terminal, so it says it here too.
    const bool interrupted = OutputUnitIsInterrupted(audioUnitWrapper.audioUnit);
    if (interrupted == outputInterrupted || mainViewController == nullptr)
        return;
    outputInterrupted = interrupted;
    mainViewController->showNotice(interrupted ? soundStoppedNotice : "");
}

void AppDelegate::startMidi() {
    // Set-up changes (a keyboard plugged in) arrive on a MIDI thread and are handled here, on
    // the main thread, in the order they came.
    MIDIServicesSetMainThreadDispatch(
        [](std::function<void()> task) { toolkit::MainQueue::async(std::move(task)); });
    // MIDI events are placed on the output's sample clock by the time they arrived.
    MIDIInputSetStampClock([](uint64_t hostNanoseconds, double* sampleTime) {
        return OutputUnitSampleTimeAt(audioUnitWrapper.audioUnit, hostNanoseconds, sampleTime);
    });
    midiObject.initialize();
    midiObject.MIDIInputConnectAll();
    const std::string service = MIDIServicesDescription();
    if (!service.empty()) {
        const size_t sources = midiObject.inputEndpointRef.size();
        say("MIDI through " + service + ", " + std::to_string(sources) +
            (sources == 1 ? " source" : " sources") + " connected");
    }
}

void AppDelegate::applicationWillTerminate() {
    say(audioUnitWrapper.xrunLine());
}

void AppDelegate::say(const std::string& line) {
    if (line.empty())
        return;
    std::fprintf(stderr, "Corvena: %s\n", line.c_str());
    std::fflush(stderr);
}

void AppDelegate::showAboutWindow() {
    const QRect screen = mainScreenFrame();
    if (screen.isEmpty())
        return;
    std::unique_ptr<AboutWindow> window = AboutWindow::build(screen);
    AboutWindowController controller(window.get());
    controller.windowDidLoad();
    controller.runModal();
}

void AppDelegate::terminate() {
    QCoreApplication::quit();
}
