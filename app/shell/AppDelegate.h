// The application delegate: once the application object is up it builds the menu bar, opens
// the main window with the synthesizer panel in it, and then brings up sound and MIDI in a
// fixed order — the audio output and the engine, the MIDI clients and ports, the connection of
// every MIDI source. It also holds the two menu actions, About and Quit.
//
// Threads: main thread only. Nothing here waits for the audio or MIDI threads: the engine is
// fed through its lock-free event rings, and MIDI set-up changes come back through the main
// queue.
#pragma once

#include "Color.h"
#include "Geometry.h"
#include "MainViewController.h"
#include "Zelvar_MainWindow.h"

#include <QRect>

#include <memory>
#include <string>

class QAction;
class QTimer;
class QMenuBar;

class AppDelegate {
public:
    AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The whole launch, in order: menu bar, main window with the panel, audio, MIDI, and the
    // connection of every MIDI source. False when the program cannot run (no screen, no audio
    // output, no engine resources); failureMessage() then says why in one line. A missing MIDI
    // service is not a failure: the MIDI layer says so on stderr and the program plays from
    // the on-screen keyboard.
    bool applicationDidFinishLaunching();
    // Nothing is released: the end of the process ends the engine, the output and MIDI. It says
    // how many xruns the audio output had, once.
    void applicationWillTerminate();

    // The steps of the launch, for whoever needs only some of them (the tests).
    void buildMainMenu();
    bool openMainWindow();
    bool startAudio();
    void startMidi();

    // The panel's notice while the audio output is interrupted (its server stopped), gone when
    // sound is back; looked at four times a second once audio has started.
    static constexpr const char* soundStoppedNotice =
        "No sound: the audio server stopped. Trying again every second.";
    void showOutputState();

    // Menu actions.
    void showAboutWindow();
    void terminate();

    const std::string& failureMessage() const { return failure; }

    // The main window's content rectangle for a screen of `screenSize`: centred, y up, the
    // window's fixed size. Nothing clamps it, so a screen smaller than the window gives a
    // negative origin.
    static toolkit::Rect centredContentRect(toolkit::Size screenSize, toolkit::Size windowSize);
    // The main screen's full geometry (not only the part free of panels), or an empty
    // rectangle when there is no screen.
    static QRect mainScreenFrame();

    toolkit::Color windowBackgroundColor;
    // The main window, standing in for the window controller that holds it.
    std::unique_ptr<Zelvar_MainWindow> mainWindowController;
    std::unique_ptr<MainViewController> mainViewController;
    toolkit::Size windowSize{480.0, 360.0};

    // Built by buildMainMenu; the main window owns it once it is open.
    QMenuBar* mainMenu = nullptr;
    QAction* aboutItem = nullptr;
    QAction* quitItem = nullptr;

    // One line on stderr, "Corvena: " and `line` (none for an empty one): what plays, what MIDI
    // comes through, why the program cannot start.
    static void say(const std::string& line);

private:
    bool fail(std::string message);

    std::string failure;
    QTimer* outputWatch = nullptr;
    bool outputInterrupted = false;
};

// The process-wide delegate, created by the entry point and never destroyed while the program
// runs.
extern AppDelegate* delegate;
