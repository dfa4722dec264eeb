#include "PrivateJackServer.h"

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string sharedServerName() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name != nullptr && *name != '\0' ? name : "corvena";
}

} // namespace

PrivateJackServer::PrivateJackServer(const std::string& tag, unsigned periodFrames, unsigned rateHz)
    : PrivateJackServer(Exactly{}, sharedServerName() + "-" + tag, periodFrames, rateHz) {}

std::unique_ptr<PrivateJackServer>
PrivateJackServer::named(const std::string& name, unsigned periodFrames, unsigned rateHz) {
    return std::unique_ptr<PrivateJackServer>(
        new PrivateJackServer(Exactly{}, name, periodFrames, rateHz));
}

PrivateJackServer::PrivateJackServer(Exactly, const std::string& name, unsigned periodFrames,
                                     unsigned rateHz)
    : serverName(name) {
    const std::string period = std::to_string(periodFrames);
    const std::string rate = std::to_string(rateHz);
    pid = fork();
    if (pid == 0) {
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("jackd", "jackd", "-n", serverName.c_str(), "-d", "dummy", "-r", rate.c_str(), "-p",
               period.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pid > 0 && !answers() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Stopped while it still writes to a client that vanished (the program leaves by _Exit and the
// server notices a moment later), jackd dies of SIGPIPE on the way out and leaves its entry in
// the machine-wide server table behind; so the clients go first.
PrivateJackServer::~PrivateJackServer() {
    if (pid <= 0)
        return;
    thaw();
    const auto settled = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!onlyItsOwnPortsLeft() && std::chrono::steady_clock::now() < settled)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop();
}

bool PrivateJackServer::answers() const {
    jack_status_t status{};
    jack_client_t* probe =
        jack_client_open("corvena-probe", jack_options_t(JackNoStartServer | JackServerName),
                         &status, serverName.c_str());
    if (probe == nullptr)
        return false;
    jack_client_close(probe);
    return true;
}

bool PrivateJackServer::setBufferSize(unsigned frames) const {
    const std::string command = "JACK_DEFAULT_SERVER=" + serverName + " jack_bufsize " +
                                std::to_string(frames) + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void PrivateJackServer::freeze() const {
    if (pid > 0)
        kill(pid, SIGSTOP);
}

void PrivateJackServer::thaw() const {
    if (pid > 0)
        kill(pid, SIGCONT);
}

bool PrivateJackServer::onlyItsOwnPortsLeft() const {
    jack_status_t status{};
    jack_client_t* probe =
        jack_client_open("corvena-probe", jack_options_t(JackNoStartServer | JackServerName),
                         &status, serverName.c_str());
    if (probe == nullptr)
        return true;
    bool others = false;
    const char** ports = jack_get_ports(probe, nullptr, nullptr, 0);
    for (size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i)
        others |= std::strncmp(ports[i], "system:", 7) != 0 &&
                  std::strncmp(ports[i], "corvena-probe:", 14) != 0;
    if (ports != nullptr)
        jack_free(ports);
    jack_client_close(probe);
    return !others;
}

void PrivateJackServer::stop() {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid = -1;
}
