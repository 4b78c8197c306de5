// A program a test starts: exact environment, own process group, output kept in files; and the
// small helpers around programs (finding one, reading a command's output).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace veska::testing {

using Environment = std::map<std::string, std::string>;

/// How to start one program.
struct LaunchPlan {
    std::vector<std::string> argv;
    /// The whole environment of the program (nothing is inherited).
    Environment environment;
    /// Standard output and error go to these files (appended); empty: /dev/null.
    std::filesystem::path stdoutFile{};
    std::filesystem::path stderrFile{};
    /// Standard input reads this descriptor; -1: /dev/null.
    int stdinFrom = -1;
    /// Standard output writes this descriptor instead of a file; -1: the file or /dev/null.
    int stdoutTo = -1;
};

/// A running program in a process group of its own, so that what it starts itself (the app's
/// local core) is stopped with it. Stopped by the destructor: SIGTERM to the group, a grace
/// period, then SIGKILL; it also gets SIGTERM when the thread that started it ends, so a
/// crashing test leaves nothing behind.
class Launched {
public:
    Launched() = default;
    explicit Launched(const LaunchPlan& plan);
    Launched(Launched&& other) noexcept;
    Launched& operator=(Launched&& other) noexcept;
    Launched(const Launched&) = delete;
    Launched& operator=(const Launched&) = delete;
    ~Launched() { stop(); }

    [[nodiscard]] pid_t pid() const { return pid_; }
    /// Whether it still runs; once it has ended, `exitStatus` tells how.
    [[nodiscard]] bool running();
    /// The wait status of the ended program (meaningful once `running` is false).
    [[nodiscard]] int exitStatus() const { return status_; }
    /// SIGTERM to the group, up to `graceSeconds` to end, then SIGKILL; false when it had to
    /// be killed.
    bool stop(double graceSeconds = 3);
    /// Ends it and its group at once with SIGKILL, as a crash would.
    void kill();

private:
    void reapGroup();

    pid_t pid_ = 0;
    int status_ = 0;
    bool ended_ = false;
};

/// The full path of `program` on the PATH (or `program` itself when it holds a "/"); empty when
/// it is not there.
[[nodiscard]] std::string findProgram(const std::string& program);

/// Whether `program` is an executable on the PATH (or at this path).
[[nodiscard]] bool programExists(const std::string& program);

/// This process's own environment, for a program that should inherit it.
[[nodiscard]] Environment processEnvironment();

/// Runs a command line through /bin/sh in this process's environment and gives its standard
/// output without the trailing line breaks.
[[nodiscard]] std::string shellOutput(const std::string& command);

}  // namespace veska::testing
