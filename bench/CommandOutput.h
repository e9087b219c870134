#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace bench {

// Runs a program found on PATH with its arguments (argv[0] first), waits
// for it and returns what it wrote on standard output: the command-line
// route a benchmark compares the in-process one with.
inline std::string commandOutput(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (args.empty() || pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while (spawned == 0 && (n = read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, std::size_t(n));
    close(fds[0]);
    if (spawned == 0)
        waitpid(pid, nullptr, 0);
    return out;
}

} // namespace bench
