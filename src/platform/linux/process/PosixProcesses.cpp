// The child-process port on Linux.
#include "platform/linux/process/PosixProcesses.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/Completion.h"

extern char** environ;

namespace veska::platform {

namespace {

using ports::ProcessError;
using ports::ProcessErrorKind;
using ports::ProcessExit;
using ports::ProcessOutput;

/// What the watcher and the handles share.
struct Shared {
    std::mutex mutex;
    int pid = 0;
    bool running = true;  // false once the process has ended (it may still be a zombie briefly)
    std::optional<ProcessExit> exit;
    std::vector<rt::Completion<ProcessExit>> waiters;
};

/// Both ends of a pipe, closed when dropped.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void open() {
        std::array<int, 2> fds{};
        if (::pipe2(fds.data(), O_CLOEXEC) != 0) throw ProcessError(ProcessErrorKind::failed);
        read = fds[0];
        write = fds[1];
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

void checkLaunch(const ports::ProcessLaunch& launch) {
    struct stat info {};
    if (launch.executable.empty() || launch.executable[0] != '/' || ::stat(launch.executable.c_str(), &info) != 0) {
        throw ProcessError(ProcessErrorKind::notFound);
    }
    if (!S_ISREG(info.st_mode) || ::access(launch.executable.c_str(), X_OK) != 0) {
        throw ProcessError(ProcessErrorKind::notExecutable);
    }
    if (!launch.workingDirectory.empty() &&
        (::stat(launch.workingDirectory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
        throw ProcessError(ProcessErrorKind::badWorkingDirectory);
    }
}

std::vector<std::string> environmentOf(const ports::ProcessLaunch& launch) {
    std::map<std::string, std::string> variables;
    if (launch.inheritEnvironment) {
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            const std::string text(*entry);
            const auto eq = text.find('=');
            if (eq != std::string::npos) variables[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : launch.environment) variables[name] = value;
    std::vector<std::string> out;
    out.reserve(variables.size());
    for (const auto& [name, value] : variables) {
        std::string entry;
        entry.reserve(name.size() + 1 + value.size());
        entry.append(name).append("=").append(value);
        out.push_back(std::move(entry));
    }
    return out;
}

/// Reads both pipes to their end, keeping at most the limit of each.
void readOutputs(int outFd, int errFd, ProcessExit& exit) {
    std::array<pollfd, 2> fds{pollfd{outFd, POLLIN, 0}, pollfd{errFd, POLLIN, 0}};
    std::array<std::string*, 2> targets{&exit.output, &exit.errorOutput};
    std::array<char, 65536> buffer{};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                continue;
            }
            std::string& target = *targets[i];
            const std::size_t room = ports::kMaxProcessOutputBytes - target.size();
            const auto size = static_cast<std::size_t>(got);
            target.append(buffer.data(), std::min(room, size));
            if (size > room) exit.truncated = true;
        }
    }
}

/// The watcher: output to its end, then the process's end; tells every waiter.
// The thread keeps its own reference to what it shares with the handles.
void watch(std::shared_ptr<Shared> shared, int outFd, int errFd) {  // NOLINT(performance-unnecessary-value-param)
    ProcessExit exit;
    readOutputs(outFd, errFd, exit);
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(shared->pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    exit.signalled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
    exit.code = info.si_status;
    std::vector<rt::Completion<ProcessExit>> waiters;
    {
        // Reaped under the lock, so `terminate` never signals a pid that was given to another.
        std::lock_guard lock(shared->mutex);
        int status = 0;
        while (::waitpid(shared->pid, &status, 0) < 0 && errno == EINTR) {
        }
        shared->running = false;
        shared->exit = exit;
        waiters.swap(shared->waiters);
    }
    for (auto& waiter : waiters) waiter.resolve(exit);
}

class PosixProcess final : public ports::Process {
public:
    explicit PosixProcess(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

    [[nodiscard]] int pid() const override { return shared_->pid; }
    [[nodiscard]] bool isRunning() const override {
        std::lock_guard lock(shared_->mutex);
        return shared_->running;
    }
    void terminate() override {
        std::lock_guard lock(shared_->mutex);
        if (shared_->running) ::kill(shared_->pid, SIGTERM);
    }
    rt::Task<ProcessExit> wait() override {
        rt::Completion<ProcessExit> completion;
        std::optional<ProcessExit> ended;
        {
            std::lock_guard lock(shared_->mutex);
            ended = shared_->exit;
            if (!ended) shared_->waiters.push_back(completion);
        }
        if (ended.has_value()) co_return std::move(ended).value();
        co_return co_await completion.wait();
    }

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace

std::unique_ptr<ports::Process> PosixProcesses::launch(ports::ProcessLaunch launch) {
    checkLaunch(launch);
    const bool captureOut = launch.output == ProcessOutput::capture;
    const bool captureErr = !launch.mergeErrorIntoOutput && launch.errorOutput == ProcessOutput::capture;
    Pipe out;
    Pipe err;
    if (captureOut) out.open();
    if (captureErr) err.open();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOut) {
        posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (launch.mergeErrorIntoOutput) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else if (captureErr) {
        posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!launch.workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, launch.workingDirectory.c_str());
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (launch.detached) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);

    std::vector<std::string> arguments{launch.executable};
    arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> variables = environmentOf(launch);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(variables.size() + 1);
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    auto shared = std::make_shared<Shared>();
    const int spawned = ::posix_spawn(&shared->pid, launch.executable.c_str(), &actions, &attributes, argv.data(),
                                      envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        if (spawned == ENOENT) throw ProcessError(ProcessErrorKind::notFound);
        if (spawned == EACCES || spawned == ENOEXEC) throw ProcessError(ProcessErrorKind::notExecutable);
        throw ProcessError(ProcessErrorKind::failed);
    }
    out.closeWrite();
    err.closeWrite();
    // The watcher owns the read ends from here on.
    std::thread(watch, shared, std::exchange(out.read, -1), std::exchange(err.read, -1)).detach();
    return std::make_unique<PosixProcess>(std::move(shared));
}

}  // namespace veska::platform
