// A private X server (Xvfb) for the tests of the X11 adapters, on a display number it picks.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

namespace veska::testing {

/// Starts `Xvfb -displayfd` and waits until it names its display; stops it when destroyed.
/// `display()` is empty when Xvfb is missing or did not start.
class XvfbServer {
public:
    XvfbServer() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        std::vector<std::string> args{"Xvfb",      "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                      "1280x800x24", "-nolisten", "tcp",             "-noreset"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            pid_ = 0;
            ::close(fds[0]);
            return;
        }
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        ::close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }

    [[nodiscard]] const std::string& display() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

}  // namespace veska::testing
