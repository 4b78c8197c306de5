// Programs started by tests, each in its own process group, stopped by pid.
#include "support/Launched.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

extern char** environ;

namespace veska::testing {

namespace {

int openOutput(const std::filesystem::path& file) {
    if (file.empty()) return ::open("/dev/null", O_WRONLY);
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
}

}  // namespace

Launched::Launched(const LaunchPlan& plan) {
    std::vector<std::string> args = plan.argv;
    std::vector<std::string> env;
    for (const auto& [name, value] : plan.environment) env.push_back(name + "=" + value);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string path = findProgram(args.at(0));
    // Everything the child needs is prepared before the fork: only async-signal-safe calls after.
    const int out = plan.stdoutTo >= 0 ? ::dup(plan.stdoutTo) : openOutput(plan.stdoutFile);
    const int err = openOutput(plan.stderrFile);
    const int in = plan.stdinFrom >= 0 ? ::dup(plan.stdinFrom) : ::open("/dev/null", O_RDONLY);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(path.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid_ > 0) ::setpgid(pid_, pid_);  // both sides set it: no race with an early kill
    for (int fd : {out, err, in}) {
        if (fd >= 0) ::close(fd);
    }
    if (pid_ < 0) {
        pid_ = 0;
        ended_ = true;
    }
}

Launched::Launched(Launched&& other) noexcept : pid_(other.pid_), status_(other.status_), ended_(other.ended_) {
    other.pid_ = 0;
}

Launched& Launched::operator=(Launched&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        status_ = other.status_;
        ended_ = other.ended_;
        other.pid_ = 0;
    }
    return *this;
}

bool Launched::running() {
    if (pid_ <= 0 || ended_) return false;
    const pid_t got = ::waitpid(pid_, &status_, WNOHANG);
    if (got == pid_ || (got < 0 && errno == ECHILD)) ended_ = true;
    return !ended_;
}

bool Launched::stop(double graceSeconds) {
    if (pid_ <= 0) return true;
    const pid_t group = pid_;
    ::kill(-group, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(graceSeconds);
    bool clean = true;
    while (running()) {
        if (std::chrono::steady_clock::now() >= until) {
            clean = false;
            ::kill(-group, SIGKILL);
            while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
            ended_ = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Whatever the program left in its group (a helper it started) goes too.
    ::kill(-group, SIGKILL);
    pid_ = 0;
    return clean;
}

void Launched::kill() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    if (!ended_) {
        while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        ended_ = true;
    }
    pid_ = 0;
}

std::string findProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string dirs = path == nullptr ? "/usr/local/bin:/usr/bin:/bin" : path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return dir + "/" + program;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

bool programExists(const std::string& program) {
    const std::string path = findProgram(program);
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

Environment processEnvironment() {
    Environment env;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        env.emplace(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
    }
    return env;
}

std::string shellOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    ::pclose(pipe);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

}  // namespace veska::testing
