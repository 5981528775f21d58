#pragma once

// Runs a program the way a user's shell would (looked up on PATH), its
// standard output (and, when asked, its standard error) thrown away, and
// waits for it: wall time, processor time and peak memory of the child.
#include <QByteArray>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

struct ChildRun {
    double wallMs = -1; // negative when the program could not run or failed
    double cpuMs = 0;   // user and system time
    double peakMb = 0;  // the child's largest resident size
};

enum class ChildStderr { Keep, Discard };

inline ChildRun runChild(const std::vector<QByteArray>& args, ChildStderr err = ChildStderr::Keep) {
    std::vector<char*> argv;
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (err == ChildStderr::Discard)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ChildRun run;
    if (rc != 0)
        return run;
    int status = 0;
    struct rusage usage = {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    auto ms = [](const timeval& tv) { return double(tv.tv_sec) * 1e3 + double(tv.tv_usec) / 1e3; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.peakMb = double(usage.ru_maxrss) / 1024;
    return run;
}
