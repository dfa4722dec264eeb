#include "PrivateJackServer.h"

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

PrivateJackServer::PrivateJackServer(const std::string& tag, unsigned periodFrames)
    : serverName("corvena-" + tag + "-" + std::to_string(getpid())) {
    const std::string period = std::to_string(periodFrames);
    pid = fork();
    if (pid == 0) {
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("jackd", "jackd", "-n", serverName.c_str(), "-d", "dummy", "-r", "44100", "-p",
               period.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pid > 0 && !answers() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

PrivateJackServer::~PrivateJackServer() {
    if (pid > 0) {
        thaw();
        stop();
    }
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

void PrivateJackServer::stop() {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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
