// The posix_spawn adapter of the Processes port: the contract suite with /bin/sh programs.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <sstream>

#include "contract/ProcessesContract.h"
#include "integration/linux_recorder/RealTimeLoop.h"
#include "platform/linux/process/PosixProcesses.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/// `printf %s` of `text`, or a generator for long runs of one character.
std::string writeCommand(const std::string& text, const char* redirect) {
    if (text.empty()) return "";
    if (text.size() > 4096 && text.find_first_not_of(text[0]) == std::string::npos) {
        return "head -c " + std::to_string(text.size()) + " /dev/zero | tr '\\0' " + quoted(std::string(1, text[0])) +
               redirect + "\n";
    }
    return "printf %s " + quoted(text) + redirect + "\n";
}

class PosixProcessesEnv final : public contract::ProcessesContractEnv {
public:
    PosixProcessesEnv() { dir_.write("plain.txt", "not a program"); }
    rt::Executor& executor() override { return loop_; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override { return loop_.runUntil(done, maxSeconds); }
    void advance(double seconds) override { loop_.advance(seconds); }
    ports::Processes& processes() override { return processes_; }

    ports::ProcessLaunch program(const contract::ProgramSpec& desc) override {
        std::ostringstream script;
        if (desc.echoArguments) script << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done\n";
        for (const auto& name : desc.echoVariables) {
            script << "[ -n \"${" << name << "+x}\" ] && printf '%s=%s\\n' " << quoted(name) << " \"$" << name << "\"\n";
        }
        if (desc.echoWorkingDirectory) script << "pwd\n";
        script << writeCommand(desc.out, "") << writeCommand(desc.err, " >&2");
        if (desc.lifetimeSeconds < 0) {
            script << "exec sleep 1000\n";
        } else if (desc.lifetimeSeconds > 0) {
            script << "sleep " << desc.lifetimeSeconds << "\n";
        }
        script << "exit " << desc.exitCode << "\n";
        ports::ProcessLaunch launch;
        launch.executable = "/bin/sh";
        launch.arguments = {"-c", script.str(), "sh"};
        return launch;
    }
    std::string missingExecutable() override { return (dir_.path() / "missing").string(); }
    std::string notExecutableFile() override { return (dir_.path() / "plain.txt").string(); }
    std::string existingDirectory() override { return dir_.path().string(); }
    bool alive(int pid) override { return ::kill(pid, 0) == 0; }

private:
    testing::RealTimeLoop loop_;
    testing::TempDir dir_;
    PosixProcesses processes_;
};

struct PosixProcessesFactory {
    static std::unique_ptr<contract::ProcessesContractEnv> make() { return std::make_unique<PosixProcessesEnv>(); }
};

TEST(PosixProcesses, ADetachedProgramRunsInASessionOfItsOwn) {
    PosixProcessesEnv env;
    ports::ProcessLaunch launch;
    launch.executable = "/bin/sh";
    launch.arguments = {"-c", "ps -o sid= -p $$; ps -o sid= -p $PPID"};
    launch.output = ports::ProcessOutput::capture;
    launch.detached = true;
    const ports::ProcessExit exit = contract::runTask(env, contract::proc::run(&env.processes(), launch));
    std::istringstream lines(exit.output);
    std::string own;
    std::string parent;
    lines >> own >> parent;
    ASSERT_FALSE(own.empty());
    EXPECT_NE(own, parent);
}

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Posix, ProcessesContract, platform::PosixProcessesFactory);
}  // namespace veska::contract
