// Contract of the Processes port: exit codes, output, arguments and environment, failures,
// termination. Instantiate with a factory type whose static make() returns a ProcessesContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "contract/ContractEnv.h"
#include "ports/Processes.h"

namespace veska::contract {

/// A program the env provides: it echoes what it was asked to, writes its output, and exits.
struct ProgramSpec {
    int exitCode = 0;
    std::string out;
    std::string err;       // written after `out`
    double lifetimeSeconds = 0;  // < 0: until terminated
    bool echoArguments = false;  // each argument on a line, before `out`
    std::vector<std::string> echoVariables;  // NAME=value lines, before `out`
    bool echoWorkingDirectory = false;
};

class ProcessesContractEnv : public ContractEnv {
public:
    virtual ports::Processes& processes() = 0;
    /// A launch of a program behaving as `desc` says (its executable and first arguments).
    virtual ports::ProcessLaunch program(const ProgramSpec& desc) = 0;
    virtual std::string missingExecutable() = 0;
    virtual std::string notExecutableFile() = 0;
    virtual std::string existingDirectory() = 0;
    /// True while the process `pid` exists, whoever holds its handle.
    virtual bool alive(int pid) = 0;
};

namespace proc {

/// A program that writes `out`, then `err`, and exits at once with `code`.
inline ProgramSpec writes(int code, std::string out, std::string err) {
    ProgramSpec desc;
    desc.exitCode = code;
    desc.out = std::move(out);
    desc.err = std::move(err);
    return desc;
}

inline rt::Task<ports::ProcessExit> run(ports::Processes* processes, ports::ProcessLaunch launch) {
    std::unique_ptr<ports::Process> process = processes->launch(std::move(launch));
    ports::ProcessExit exit = co_await process->wait();
    co_return exit;
}

inline rt::Task<ports::ProcessExit> waitTwice(ports::Process* process) {
    ports::ProcessExit first = co_await process->wait();
    ports::ProcessExit second = co_await process->wait();
    if (first.code != second.code || first.output != second.output) throw std::runtime_error("waits disagree");
    co_return second;
}

}  // namespace proc

template <class Factory>
class ProcessesContract : public ::testing::Test {
protected:
    std::unique_ptr<ProcessesContractEnv> env_ = Factory::make();
    ProcessesContractEnv& env() { return *env_; }
    ports::Processes* processes() { return &env_->processes(); }
};

TYPED_TEST_SUITE_P(ProcessesContract);

TYPED_TEST_P(ProcessesContract, ExitCodesAndOutputAsAsked) {
    using ports::ProcessOutput;
    struct Row {
        ProgramSpec desc;
        ProcessOutput out;
        ProcessOutput err;
        bool merge;
        std::string expectedOut;
        std::string expectedErr;
    };
    const std::vector<Row> rows = {
        {proc::writes(0, "hello\n", ""), ProcessOutput::capture, ProcessOutput::capture, false, "hello\n", ""},
        {proc::writes(3, "", "bad input\n"), ProcessOutput::capture, ProcessOutput::capture, false, "", "bad input\n"},
        {proc::writes(1, "out;", "err;"), ProcessOutput::capture, ProcessOutput::discard, true, "out;err;", ""},
        {proc::writes(0, "x", "y"), ProcessOutput::discard, ProcessOutput::discard, false, "", ""},
        {proc::writes(255, "/usr/bin/node\n", "which: noise"), ProcessOutput::capture, ProcessOutput::discard, false,
         "/usr/bin/node\n", ""},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ports::ProcessLaunch launch = this->env().program(rows[i].desc);
        launch.output = rows[i].out;
        launch.errorOutput = rows[i].err;
        launch.mergeErrorIntoOutput = rows[i].merge;
        ports::ProcessExit exit = runTask(this->env(), proc::run(this->processes(), launch));
        EXPECT_FALSE(exit.signalled) << "row " << i;
        EXPECT_EQ(exit.code, rows[i].desc.exitCode) << "row " << i;
        EXPECT_EQ(exit.succeeded(), rows[i].desc.exitCode == 0) << "row " << i;
        EXPECT_EQ(exit.output, rows[i].expectedOut) << "row " << i;
        EXPECT_EQ(exit.errorOutput, rows[i].expectedErr) << "row " << i;
        EXPECT_FALSE(exit.truncated) << "row " << i;
    }
}

TYPED_TEST_P(ProcessesContract, ArgumentsEnvironmentAndDirectoryReachTheProgram) {
    ProgramSpec desc;
    desc.echoArguments = true;
    desc.echoVariables = {"PORT", "VESKA_TEST_ONLY"};
    desc.echoWorkingDirectory = true;
    ports::ProcessLaunch launch = this->env().program(desc);
    const std::size_t own = launch.arguments.size();
    launch.arguments.insert(launch.arguments.end(), {"serve", "two words", "quote\"d", "tiếng Việt", ""});
    launch.environment = {{"PORT", "8797"}};
    launch.workingDirectory = this->env().existingDirectory();
    launch.output = ports::ProcessOutput::capture;
    ports::ProcessExit exit = runTask(this->env(), proc::run(this->processes(), launch));
    std::string expected;
    for (std::size_t a = own; a < launch.arguments.size(); ++a) expected += launch.arguments[a] + "\n";
    expected += "PORT=8797\n" + launch.workingDirectory + "\n";
    EXPECT_EQ(exit.output, expected);
}

TYPED_TEST_P(ProcessesContract, LaunchFailuresSayWhy) {
    struct Row {
        std::string executable;
        std::string directory;
        ports::ProcessErrorKind expected;
    };
    const std::string good = this->env().program({}).executable;
    const std::vector<Row> rows = {
        {this->env().missingExecutable(), "", ports::ProcessErrorKind::notFound},
        {this->env().notExecutableFile(), "", ports::ProcessErrorKind::notExecutable},
        {good, "/no/such/directory/here", ports::ProcessErrorKind::badWorkingDirectory},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ports::ProcessLaunch launch = this->env().program({});
        launch.executable = rows[i].executable;
        launch.workingDirectory = rows[i].directory;
        try {
            this->processes()->launch(launch);
            ADD_FAILURE() << "row " << i << " launched";
        } catch (const ports::ProcessError& error) {
            EXPECT_EQ(error.kind(), rows[i].expected) << "row " << i;
        }
    }
}

TYPED_TEST_P(ProcessesContract, TerminateEndsARunningProcessWithItsSignal) {
    ProgramSpec desc;
    desc.lifetimeSeconds = -1;
    auto process = this->processes()->launch(this->env().program(desc));
    EXPECT_GT(process->pid(), 0);
    this->env().advance(0.2);
    EXPECT_TRUE(process->isRunning());
    process->terminate();
    ports::ProcessExit exit = runTask(this->env(), proc::waitTwice(process.get()));
    EXPECT_TRUE(exit.signalled);
    EXPECT_EQ(exit.code, 15);
    EXPECT_FALSE(process->isRunning());
    process->terminate();  // after the end: nothing happens
}

TYPED_TEST_P(ProcessesContract, DroppingTheHandleOrTheWaitLeavesTheProcessRunning) {
    ProgramSpec desc;
    desc.lifetimeSeconds = 0.6;
    auto process = this->processes()->launch(this->env().program(desc));
    const int pid = process->pid();
    auto waiting = rt::spawn(this->env().executor(), process->wait());
    this->env().advance(0.1);
    waiting.cancel();
    ASSERT_TRUE(this->env().runUntil([&] { return waiting.done(); }, 5));
    process.reset();
    this->env().advance(0.1);
    EXPECT_TRUE(this->env().alive(pid));
    EXPECT_TRUE(this->env().runUntil([&] { return !this->env().alive(pid); }, 5)) << "it still ends by itself";
}

TYPED_TEST_P(ProcessesContract, OutputBeyondTheLimitIsCutAndMarked) {
    ProgramSpec desc;
    desc.out = std::string(ports::kMaxProcessOutputBytes + 10, 'z');
    ports::ProcessLaunch launch = this->env().program(desc);
    launch.output = ports::ProcessOutput::capture;
    ports::ProcessExit exit = runTask(this->env(), proc::run(this->processes(), launch));
    EXPECT_EQ(exit.output.size(), ports::kMaxProcessOutputBytes);
    EXPECT_TRUE(exit.truncated);
    EXPECT_EQ(exit.code, 0);
}

REGISTER_TYPED_TEST_SUITE_P(ProcessesContract, ExitCodesAndOutputAsAsked, ArgumentsEnvironmentAndDirectoryReachTheProgram,
                            LaunchFailuresSayWhy, TerminateEndsARunningProcessWithItsSignal,
                            DroppingTheHandleOrTheWaitLeavesTheProcessRunning, OutputBeyondTheLimitIsCutAndMarked);

}  // namespace veska::contract
