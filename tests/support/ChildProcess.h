// A program the test starts and ends itself, by its process id: standard input from a pipe the
// test writes (so a console program waits for commands instead of meeting end of input), and
// standard output and error into a log file the test can show when something fails.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts `arguments[0]` (searched on PATH) with the test's environment.
    ChildProcess(const std::vector<std::string>& arguments, const std::string& logPath);
    // Interrupts the process, and kills it if it has not ended within five seconds.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    bool running();
    void writeLine(const std::string& line);
    std::string log() const;

private:
    pid_t pid = -1;
    int input = -1;
    std::string logPath;
};
