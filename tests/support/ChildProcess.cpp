// Child processes for tests: posix_spawn with pipes, or forkpty for a terminal.
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace veska::testing {

namespace {

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Strings {
    std::vector<std::string> owned;
    std::vector<char*> pointers;
    explicit Strings(std::vector<std::string> values) : owned(std::move(values)) {
        for (auto& value : owned) pointers.push_back(value.data());
        pointers.push_back(nullptr);
    }
    char** data() { return pointers.data(); }
};

Strings environmentOf(const std::map<std::string, std::string>& environment) {
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
    return Strings(std::move(entries));
}

/// Waits for `pid`, killing it once `deadline` has passed.
int reap(pid_t pid, double deadline, bool& timedOut) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (steadySeconds() > deadline) {
            timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(2000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& environment, const std::string& input,
                         double timeoutSeconds) {
    int in[2];
    int out[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    Strings args(argv);
    Strings env = environmentOf(environment);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);

    ProcessResult result;
    const double deadline = steadySeconds() + timeoutSeconds;
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    ::fcntl(inFd, F_SETFL, O_NONBLOCK);
    bool outOpen = true;
    bool errOpen = true;
    while ((outOpen || errOpen) && steadySeconds() < deadline) {
        const short outEvents = outOpen ? POLLIN : 0;
        const short errEvents = errOpen ? POLLIN : 0;
        pollfd fds[3] = {{out[0], outEvents, 0}, {err[0], errEvents, 0}, {inFd, POLLOUT, 0}};
        ::poll(fds, inFd >= 0 ? 3 : 2, 50);
        char chunk[8192];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
            std::string& into = i == 0 ? result.out : result.err;
            if (got > 0) {
                into.append(chunk, static_cast<std::size_t>(got));
            } else {
                (i == 0 ? outOpen : errOpen) = false;
            }
        }
        if (inFd >= 0 && fds[2].revents != 0) {
            const ssize_t sent = ::write(inFd, input.data() + written, input.size() - written);
            if (sent > 0) written += static_cast<std::size_t>(sent);
            if (sent < 0 || written == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) ::close(inFd);
    ::close(out[0]);
    ::close(err[0]);
    result.exitCode = reap(pid, deadline, result.timedOut);
    return result;
}

ProcessResult runInTerminal(const std::vector<std::string>& argv,
                            const std::map<std::string, std::string>& environment, int columns, int rows,
                            double timeoutSeconds) {
    Strings args(argv);
    Strings env = environmentOf(environment);
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
    if (pid < 0) throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        ::execve(argv[0].c_str(), args.data(), env.data());
        ::_exit(127);
    }
    ProcessResult result;
    const double deadline = steadySeconds() + timeoutSeconds;
    while (steadySeconds() < deadline) {
        pollfd watch{master, POLLIN, 0};
        if (::poll(&watch, 1, 50) <= 0) {
            if (::waitpid(pid, nullptr, WNOHANG | WNOWAIT) == pid) {
                // Ended: take what is left, then stop.
                char rest[8192];
                ssize_t got = 0;
                ::fcntl(master, F_SETFL, O_NONBLOCK);
                while ((got = ::read(master, rest, sizeof rest)) > 0)
                    result.out.append(rest, static_cast<std::size_t>(got));
                break;
            }
            continue;
        }
        char chunk[8192];
        const ssize_t got = ::read(master, chunk, sizeof chunk);
        if (got <= 0) break;
        result.out.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(master);
    result.exitCode = reap(pid, deadline, result.timedOut);
    return result;
}

}  // namespace veska::testing
