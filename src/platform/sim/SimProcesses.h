// Simulated child processes: scripted programs with output, exit codes and lifetimes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/Processes.h"
#include "runtime/Executor.h"

namespace veska::sim {

enum class SimStream { out, err };

/// Something a program writes, `delaySeconds` after what it wrote before (or its start).
struct SimOutput {
    double delaySeconds = 0;
    SimStream stream = SimStream::out;
    std::string text;
};

/// What a program does when launched. It first echoes what was asked (arguments, variables,
/// working directory, one per line of standard output), then writes its output, and exits
/// with `exitCode` `lifetimeSeconds` after its start; output due after that is never written.
struct SimProgram {
    int exitCode = 0;
    std::vector<SimOutput> output;
    /// Seconds from start to exit; below 0 = runs until terminated.
    double lifetimeSeconds = 0;
    /// The signal it dies of when terminated.
    int terminateSignal = 15;
    bool ignoresTerminate = false;
    bool echoArguments = false;
    /// Writes "NAME=value" for each of these variables it received.
    std::vector<std::string> echoVariables;
    bool echoWorkingDirectory = false;
    /// Launching it fails with this.
    std::optional<ports::ProcessErrorKind> launchError;
};

/// The programs installed at paths of a simulated file system. Processes run on the
/// `system` lane's clock; they live on after their handles are dropped. Lives on the loop's
/// thread.
class SimProcesses final : public ports::Processes {
public:
    explicit SimProcesses(rt::Executor& system);
    ~SimProcesses() override;
    SimProcesses(const SimProcesses&) = delete;
    SimProcesses& operator=(const SimProcesses&) = delete;

    void install(std::string path, SimProgram program) { programs_[std::move(path)] = std::move(program); }
    void uninstall(const std::string& path) { programs_.erase(path); }
    /// A directory that exists (for working directories); "/" and "/tmp" always do.
    void addDirectory(std::string path) { directories_.push_back(std::move(path)); }
    /// This process's environment and working directory, which children inherit.
    void setEnvironment(std::map<std::string, std::string> environment) { environment_ = std::move(environment); }
    void setCurrentDirectory(std::string path) { currentDirectory_ = std::move(path); }
    /// Runs `hook` each time the program at `path` starts, with the launch and its pid.
    void onLaunch(std::string path, std::function<void(const ports::ProcessLaunch&, int)> hook);

    /// Every launch asked for, failed ones included.
    [[nodiscard]] const std::vector<ports::ProcessLaunch>& launches() const { return launches_; }
    [[nodiscard]] bool isRunning(int pid) const;
    [[nodiscard]] std::size_t runningCount() const;
    /// Ends a process from outside, as a signal would.
    void kill(int pid, int signal);

    std::unique_ptr<ports::Process> launch(ports::ProcessLaunch launch) override;

    struct Running;

private:
    void check(const ports::ProcessLaunch& launch) const;

    rt::Executor& system_;
    std::map<std::string, SimProgram> programs_;
    std::map<std::string, std::vector<std::function<void(const ports::ProcessLaunch&, int)>>> hooks_;
    std::vector<std::string> directories_{"/", "/tmp"};
    std::map<std::string, std::string> environment_;
    std::string currentDirectory_ = "/";
    std::vector<ports::ProcessLaunch> launches_;
    std::map<int, std::shared_ptr<Running>> running_;
    int nextPid_ = 4000;
};

}  // namespace veska::sim
