// A child process of a test, stopped (SIGTERM, then SIGKILL) and reaped when destroyed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace veska::testing {

struct SpawnPipes {
    int stdinFrom = -1;  // the child's stdin reads this descriptor (else /dev/null)
    int stdoutTo = -1;   // the child's stdout writes this descriptor (else /dev/null)
};

class Spawned {
public:
    using Pipes = SpawnPipes;

    Spawned() = default;
    Spawned(std::vector<std::string> args, Pipes pipes = {}) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            // Nothing a test starts outlives it, even a test that crashes.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(pipes.stdinFrom >= 0 ? pipes.stdinFrom : null, 0);
            ::dup2(pipes.stdoutTo >= 0 ? pipes.stdoutTo : null, 1);
            ::dup2(null, 2);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid_ < 0) pid_ = 0;
    }
    Spawned(Spawned&& other) noexcept : pid_(other.pid_) { other.pid_ = 0; }
    Spawned& operator=(Spawned&& other) noexcept {
        if (this != &other) {
            stop();
            pid_ = other.pid_;
            other.pid_ = 0;
        }
        return *this;
    }
    ~Spawned() { stop(); }

    [[nodiscard]] pid_t pid() const { return pid_; }
    [[nodiscard]] bool running() const {
        if (pid_ <= 0) return false;
        int status = 0;
        return ::waitpid(pid_, &status, WNOHANG) == 0;
    }

    /// SIGTERM, up to a second to go, then SIGKILL.
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        reap(std::chrono::seconds(1));
    }
    /// Ends it at once, as a crash would.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        reap(std::chrono::seconds(5));
    }

private:
    void reap(std::chrono::milliseconds patience) {
        const auto until = std::chrono::steady_clock::now() + patience;
        int status = 0;
        while (std::chrono::steady_clock::now() < until) {
            const pid_t got = ::waitpid(pid_, &status, WNOHANG);
            if (got == pid_ || (got < 0 && errno != EINTR)) {
                pid_ = 0;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = 0;
    }

    pid_t pid_ = 0;
};

/// Whether an executable is on the PATH or at this absolute path.
inline bool programExists(const std::string& name) {
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string dirs = path == nullptr ? "/usr/bin:/bin" : path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = dirs.find(':', start);
        const std::string dir =
            dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

}  // namespace veska::testing
