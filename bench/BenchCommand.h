#pragma once

// Whole commands timed as a user runs them, for the benchmarks that set
// merivo-tool next to another program.

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

struct Outcome
{
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0; // the child's own work, user and system
    long peakKb = 0;       // the child's maximum resident set
};

// Runs a command to its end, timed from start to exit; its output (and,
// if asked, its errors) go to /dev/null.
inline Outcome runCommand(const QStringList &command, bool quiet = false)
{
    std::vector<QByteArray> bytes;
    for (const QString &part : command)
        bytes.push_back(QFile::encodeName(part));
    std::vector<char *> argv;
    for (QByteArray &part : bytes)
        argv.push_back(part.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    Outcome outcome;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) == child) {
            outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            outcome.peakKb = usage.ru_maxrss;
            outcome.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            outcome.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

inline double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
