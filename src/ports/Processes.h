// The child-process port: launch a program, wait for its exit, read its output, stop it.
#pragma once

#include <cstddef>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Task.h"

namespace veska::ports {

/// Output kept per stream; the rest is read and discarded, and the exit marked truncated.
inline constexpr std::size_t kMaxProcessOutputBytes = std::size_t{8} * 1024 * 1024;

enum class ProcessOutput { discard, capture };

struct ProcessLaunch {
    /// Absolute path of the program (no search of PATH).
    std::string executable;
    /// Arguments after the program's own name.
    std::vector<std::string> arguments;
    /// Variables set on top of the inherited environment (or alone, without inheritance).
    std::map<std::string, std::string> environment;
    bool inheritEnvironment = true;
    /// Working directory; empty = this process's.
    std::string workingDirectory;
    ProcessOutput output = ProcessOutput::discard;
    ProcessOutput errorOutput = ProcessOutput::discard;
    /// Standard error goes into the same pipe as standard output, interleaved as written
    /// (`errorOutput` is then ignored and `output` decides).
    bool mergeErrorIntoOutput = false;
    /// Runs in a session of its own, so it outlives this process and its terminal.
    bool detached = false;
};

/// How a process ended and what it wrote.
struct ProcessExit {
    /// True when a signal ended it (`code` is then the signal number).
    bool signalled = false;
    int code = 0;
    std::string output;
    std::string errorOutput;
    /// True when an output stream was longer than `kMaxProcessOutputBytes`.
    bool truncated = false;

    [[nodiscard]] bool succeeded() const { return !signalled && code == 0; }
};

enum class ProcessErrorKind {
    notFound,             // no file at the executable path
    notExecutable,        // the file cannot be executed
    badWorkingDirectory,  // the working directory does not exist
    failed,               // the system refused to start it for another reason
};

[[nodiscard]] constexpr const char* describe(ProcessErrorKind kind) {
    switch (kind) {
        case ProcessErrorKind::notFound: return "program not found";
        case ProcessErrorKind::notExecutable: return "program not executable";
        case ProcessErrorKind::badWorkingDirectory: return "working directory not found";
        case ProcessErrorKind::failed: return "program could not be started";
    }
    return "process failure";
}

class ProcessError : public std::exception {
public:
    explicit ProcessError(ProcessErrorKind kind) : kind_(kind) {}
    [[nodiscard]] ProcessErrorKind kind() const { return kind_; }
    [[nodiscard]] const char* what() const noexcept override { return describe(kind_); }

private:
    ProcessErrorKind kind_;
};

/// A launched process. Dropping the handle leaves the process running (and reaps it when it
/// ends); `wait` resumes on the calling task's executor and may be awaited more than once.
class Process {
public:
    virtual ~Process() = default;

    [[nodiscard]] virtual int pid() const = 0;
    [[nodiscard]] virtual bool isRunning() const = 0;
    /// Asks the process to end (SIGTERM); does nothing once it has ended.
    virtual void terminate() = 0;
    /// Waits for the end; the captured output is complete when it returns. A cancelled
    /// waiter stops waiting; the process goes on.
    virtual rt::Task<ProcessExit> wait() = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    /// Starts a program. Throws `ProcessError` when it cannot be started.
    virtual std::unique_ptr<Process> launch(ProcessLaunch launch) = 0;
};

}  // namespace veska::ports
