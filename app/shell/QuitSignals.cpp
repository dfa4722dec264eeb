#include "QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};

std::function<void()>& currentAction() {
    static std::function<void()> action = [] { QCoreApplication::quit(); };
    return action;
}

extern "C" void onQuitSignal(int signalNumber) {
    const int saved = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = saved;
}

} // namespace

bool QuitSignals::install() {
    if (pipeEnds[0] >= 0)
        return true;
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    // Lives as long as the application object that owns it.
    auto* notifier =
        new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        currentAction()();
    });
    struct sigaction handler {};
    handler.sa_handler = &onQuitSignal;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    sigaction(SIGINT, &handler, nullptr);
    sigaction(SIGTERM, &handler, nullptr);
    return true;
}

void QuitSignals::setAction(std::function<void()> action) {
    currentAction() = std::move(action);
}
