#include "ProgramRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern char** environ;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string scratchFile(const char* stream) {
    const char* directory = std::getenv("TMPDIR");
    static int counter = 0;
    return std::string(directory != nullptr ? directory : "/tmp") + "/corvena_program_run_" +
           std::to_string(getpid()) + "_" + std::to_string(counter++) + "." + stream;
}

} // namespace

ProgramRun::Running ProgramRun::start(const std::string& program,
                                      const std::vector<std::string>& arguments) {
    Running running;
    running.outPath = scratchFile("out");
    running.errPath = scratchFile("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, running.outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, running.errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argumentStrings{program};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentStrings)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        running.pid = child;
    posix_spawn_file_actions_destroy(&actions);
    return running;
}

ProgramRun ProgramRun::Running::finish() {
    ProgramRun result;
    if (pid > 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        pid = -1;
    }
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

ProgramRun ProgramRun::run(const std::string& program, const std::vector<std::string>& arguments) {
    return start(program, arguments).finish();
}
