// SIGINT and SIGTERM — Ctrl+C in the terminal Corvena was started from, `kill`, the end of a
// desktop session — end the program the way its Quit item does, through the main loop, so it
// leaves as it always does (the xrun count said, the process ended).
//
// A signal handler may do almost nothing safely: ours writes one byte to a pipe and returns. A
// socket notifier on the main thread reads the pipe and runs the action; no Qt call and no
// allocation happens in the handler.
#pragma once

#include <functional>

class QuitSignals {
public:
    // Installs the handlers and the notifier, once, after the application object exists.
    // False when the pipe could not be made (the signals then keep their default action).
    static bool install();
    // What a signal does from now on. At first: QCoreApplication::quit().
    static void setAction(std::function<void()> action);
};
