#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

// What a finished program left: its exit status (-1 when it did not exit normally) and
// everything it wrote to stdout and stderr.
struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

namespace run_program_detail {

inline std::string Slurp(int fd) {
    std::string text;
    char buffer[4096];
    ::lseek(fd, 0, SEEK_SET);
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

inline int TempFile() {
    char name[] = "/tmp/tg-run-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) {
        std::abort();
    }
    ::unlink(name);
    return fd;
}

}  // namespace run_program_detail

// Runs args[0] with args as its argument vector and waits for it. Output goes through temporary
// files, so a program that writes much to both streams cannot block on a full pipe.
inline ProgramResult RunProgram(std::vector<std::string> args) {
    using namespace run_program_detail;
    const int outFd = TempFile();
    const int errFd = TempFile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    ProgramResult result;
    pid_t pid = 0;
    extern char** environ;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = Slurp(outFd);
    result.err = Slurp(errFd);
    return result;
}
