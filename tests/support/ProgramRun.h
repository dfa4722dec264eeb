// Runs a program as a shell would and keeps what it printed: for tests of a program's exit
// status and messages. `start` returns while it runs (to signal it, say); `run` waits.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1; // -1 when it could not be started or did not exit normally
    std::string out;
    std::string err;

    struct Running {
        pid_t pid = -1;
        std::string outPath;
        std::string errPath;

        ProgramRun finish(); // waits for the end
    };

    static Running start(const std::string& program, const std::vector<std::string>& arguments);
    static ProgramRun run(const std::string& program, const std::vector<std::string>& arguments);
};
