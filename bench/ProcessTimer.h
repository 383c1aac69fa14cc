#pragma once

// Timing a whole child process: wall-clock time, and the processor time it used (user and
// system), which is what it costs on a machine that other work keeps busy.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

struct ProcessRun {
    double wall = 0;     // seconds
    double cpu = 0;      // user + system seconds
    int status = -1;     // the exit status, or -1 when the process did not exit normally
    long maxRssKiB = 0;  // as rusage reports it
    std::string output;  // its stdout, when kept
};

// Runs args (args[0] a path) to its end. With keepOutput its stdout is collected in output and
// its stderr goes where this program's goes; otherwise both go to /dev/null. Exits this program
// when the process cannot be started.
inline ProcessRun RunProcess(const std::vector<std::string>& args, bool keepOutput = false) {
    int pipeFds[2] = {-1, -1};
    if (keepOutput && ::pipe(pipeFds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (keepOutput) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(args[0].c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    ProcessRun run;
    if (keepOutput) {
        ::close(pipeFds[1]);
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            run.output.append(buffer, static_cast<size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKiB = usage.ru_maxrss;
    return run;
}
