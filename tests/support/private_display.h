// private_display.h — a private X server for a test process.
//
// Tests that put windows on X run side by side (ctest -j) and move the focus
// and the pointer; on a server of their own they cannot disturb each other.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Starts Xvfb with the given screen ("1280x1024x24"), sets DISPLAY to it and
// returns its pid; 0 when no Xvfb could be started (DISPLAY is then left as
// it was).
inline pid_t StartPrivateXServer(const char* screen) {
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return 0;
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const pid_t pid = fork();
    if (pid == 0) {
        // A test that dies (a sanitizer's halt, a crash) must not leave the
        // server holding ctest's output pipe open until the time-out.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten",
               "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return 0;
    }
    // Xvfb writes the display number it chose once it accepts clients.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return 0;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return pid;
}

inline void StopPrivateXServer(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}
