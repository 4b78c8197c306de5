// Simulated child processes: output and exit as timers on the system lane.
#include "platform/sim/SimProcesses.h"

#include <algorithm>

#include "runtime/Completion.h"

namespace veska::sim {

using ports::ProcessError;
using ports::ProcessErrorKind;

/// One running (or ended) process.
struct SimProcesses::Running {
    int pid = 0;
    SimProgram program;
    ports::ProcessLaunch launch;
    std::vector<std::pair<SimStream, std::string>> written;
    std::vector<rt::Timer> timers;
    bool running = true;
    rt::Completion<ports::ProcessExit> exit;

    void write(SimStream stream, std::string text) {
        if (running) written.emplace_back(stream, std::move(text));
    }

    void end(bool signalled, int code) {
        if (!running) return;
        running = false;
        timers.clear();
        ports::ProcessExit result{signalled, code, {}, {}, false};
        for (auto& [stream, text] : written) {
            const bool toOutput = stream == SimStream::out || launch.mergeErrorIntoOutput;
            const bool kept = toOutput ? launch.output == ports::ProcessOutput::capture
                                       : launch.errorOutput == ports::ProcessOutput::capture;
            if (!kept) continue;
            std::string& into = toOutput ? result.output : result.errorOutput;
            const std::size_t room = ports::kMaxProcessOutputBytes - std::min(into.size(), ports::kMaxProcessOutputBytes);
            if (text.size() > room) result.truncated = true;
            into.append(text, 0, std::min(room, text.size()));
        }
        written.clear();
        exit.resolve(std::move(result));
    }

    void terminate() {
        if (!program.ignoresTerminate) end(true, program.terminateSignal);
    }
};

namespace {

class SimProcess final : public ports::Process {
public:
    explicit SimProcess(std::shared_ptr<SimProcesses::Running> running) : running_(std::move(running)) {}
    [[nodiscard]] int pid() const override { return running_->pid; }
    [[nodiscard]] bool isRunning() const override { return running_->running; }
    void terminate() override { running_->terminate(); }
    rt::Task<ports::ProcessExit> wait() override {
        ports::ProcessExit result = co_await running_->exit.wait();
        co_return result;
    }

private:
    std::shared_ptr<SimProcesses::Running> running_;
};

}  // namespace

SimProcesses::SimProcesses(rt::Executor& system) : system_(system) {}

SimProcesses::~SimProcesses() {
    for (auto& [pid, process] : running_) process->timers.clear();
}

void SimProcesses::onLaunch(std::string path, std::function<void(const ports::ProcessLaunch&, int)> hook) {
    hooks_[std::move(path)].push_back(std::move(hook));
}

bool SimProcesses::isRunning(int pid) const {
    auto it = running_.find(pid);
    return it != running_.end() && it->second->running;
}

std::size_t SimProcesses::runningCount() const {
    return static_cast<std::size_t>(
        std::count_if(running_.begin(), running_.end(), [](const auto& entry) { return entry.second->running; }));
}

void SimProcesses::kill(int pid, int signal) {
    if (auto it = running_.find(pid); it != running_.end()) it->second->end(true, signal);
}

void SimProcesses::check(const ports::ProcessLaunch& launch) const {
    auto program = programs_.find(launch.executable);
    if (program == programs_.end()) throw ProcessError(ProcessErrorKind::notFound);
    if (const auto& error = program->second.launchError; error.has_value()) throw ProcessError(error.value());
    const auto& dir = launch.workingDirectory;
    if (!dir.empty() && std::find(directories_.begin(), directories_.end(), dir) == directories_.end()) {
        throw ProcessError(ProcessErrorKind::badWorkingDirectory);
    }
}

std::unique_ptr<ports::Process> SimProcesses::launch(ports::ProcessLaunch launch) {
    launches_.push_back(launch);
    check(launch);
    auto process = std::make_shared<Running>();
    process->pid = nextPid_++;
    process->program = programs_.at(launch.executable);
    std::map<std::string, std::string> environment = launch.inheritEnvironment ? environment_ : std::map<std::string, std::string>{};
    for (const auto& [name, value] : launch.environment) environment[name] = value;
    const SimProgram& program = process->program;
    if (program.echoArguments) {
        for (const auto& argument : launch.arguments) process->write(SimStream::out, argument + "\n");
    }
    for (const auto& name : program.echoVariables) {
        if (auto it = environment.find(name); it != environment.end()) process->write(SimStream::out, name + "=" + it->second + "\n");
    }
    if (program.echoWorkingDirectory) {
        process->write(SimStream::out, (launch.workingDirectory.empty() ? currentDirectory_ : launch.workingDirectory) + "\n");
    }
    process->launch = std::move(launch);
    std::weak_ptr<Running> weak = process;
    double at = 0;
    for (const auto& piece : program.output) {
        at += std::max(0.0, piece.delaySeconds);
        process->timers.push_back(system_.postAfter(at, [weak, piece] {
            if (auto p = weak.lock()) p->write(piece.stream, piece.text);
        }));
    }
    if (program.lifetimeSeconds >= 0) {
        process->timers.push_back(system_.postAfter(program.lifetimeSeconds, [weak] {
            if (auto p = weak.lock()) p->end(false, p->program.exitCode);
        }));
    }
    running_[process->pid] = process;
    if (auto hooks = hooks_.find(process->launch.executable); hooks != hooks_.end()) {
        for (auto& hook : hooks->second) hook(process->launch, process->pid);
    }
    return std::make_unique<SimProcess>(std::move(process));
}

}  // namespace veska::sim
