// Runs a program to its end, as a shell would, and keeps what it printed: for tests of a
// program's exit status and messages.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1; // -1 when it could not be started or did not exit normally
    std::string out;
    std::string err;

    static ProgramRun run(const std::string& program, const std::vector<std::string>& arguments);
};
