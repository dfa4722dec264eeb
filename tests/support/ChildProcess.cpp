#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::string& logPath)
    : logPath(logPath) {
    // A write to a process that has ended must fail, not end the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    const int logFile = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    if (logFile >= 0) {
        posix_spawn_file_actions_adddup2(&actions, logFile, 1);
        posix_spawn_file_actions_adddup2(&actions, logFile, 2);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    if (logFile >= 0)
        close(logFile);
    input = pipeEnds[1];
    fcntl(input, F_SETFD, FD_CLOEXEC);
}

ChildProcess::~ChildProcess() {
    if (pid > 0) {
        kill(pid, SIGINT);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (running()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    if (input >= 0)
        close(input);
}

bool ChildProcess::running() {
    if (pid <= 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1; // reaped: the id is no longer ours
        return false;
    }
    return true;
}

void ChildProcess::writeLine(const std::string& line) {
    const std::string text = line + "\n";
    if (input >= 0 && write(input, text.data(), text.size()) < 0) {
        close(input);
        input = -1;
    }
}

std::string ChildProcess::log() const {
    std::ifstream file(logPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
