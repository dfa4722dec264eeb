// Xvfb writes the display number it took to the descriptor given with -displayfd once it
// accepts connections, so no number is guessed and no sleep is needed.
#include "XvfbDisplay.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

XvfbDisplay::XvfbDisplay() {
    int fds[2];
    if (pipe(fds) != 0) {
        failure = "pipe failed";
        return;
    }
    pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        // -noreset: Xvfb would otherwise start over when its last client leaves, and refuse
        // the next test window that connects meanwhile.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        failure = "Xvfb did not start (is it installed?)";
        return;
    }
    display = ":" + number;
}

XvfbDisplay::~XvfbDisplay() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}
