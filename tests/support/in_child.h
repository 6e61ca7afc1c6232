// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace bil::test {

// Runs body in a forked child and returns its exit code (128 + signal when killed). The child
// never returns into the test framework; it reports through the exit code only.
inline int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace bil::test
