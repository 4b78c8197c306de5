// Contract environments of the cookie store and process ports on their sims and virtual time.
#pragma once

#include <memory>
#include <string>

#include "contract/ProcessesContract.h"
#include "contract/WebCookieStoreContract.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimProcesses.h"
#include "unit/sim_services/SimAudioEnvs.h"

namespace veska::sim {

class SimCookieStoreEnv final : public SimLoopEnv<contract::WebCookieStoreContractEnv> {
public:
    ports::WebCookieStore& store() override { return store_; }
    SimCookieStore& simStore() { return store_; }

private:
    SimCookieStore store_{loop_.lane("web")};
};

class SimProcessesEnv final : public SimLoopEnv<contract::ProcessesContractEnv> {
public:
    SimProcessesEnv() {
        processes_.addDirectory("/work/tree");
        SimProgram data;
        data.launchError = ports::ProcessErrorKind::notExecutable;
        processes_.install("/sim/etc/data.txt", data);
    }

    ports::Processes& processes() override { return processes_; }

    ports::ProcessLaunch program(const contract::ProgramSpec& desc) override {
        SimProgram program;
        program.exitCode = desc.exitCode;
        if (!desc.out.empty()) program.output.push_back({0, SimStream::out, desc.out});
        if (!desc.err.empty()) program.output.push_back({0, SimStream::err, desc.err});
        program.lifetimeSeconds = desc.lifetimeSeconds;
        program.echoArguments = desc.echoArguments;
        program.echoVariables = desc.echoVariables;
        program.echoWorkingDirectory = desc.echoWorkingDirectory;
        ports::ProcessLaunch launch;
        launch.executable = "/sim/bin/program-" + std::to_string(programs_++);
        processes_.install(launch.executable, std::move(program));
        return launch;
    }
    std::string missingExecutable() override { return "/sim/bin/missing"; }
    std::string notExecutableFile() override { return "/sim/etc/data.txt"; }
    std::string existingDirectory() override { return "/work/tree"; }
    bool alive(int pid) override { return processes_.isRunning(pid); }

    SimProcesses& simProcesses() { return processes_; }

private:
    SimProcesses processes_{loop_.lane("system")};
    int programs_ = 0;
};

struct SimCookieStoreFactory {
    static std::unique_ptr<contract::WebCookieStoreContractEnv> make() { return std::make_unique<SimCookieStoreEnv>(); }
};
struct SimProcessesFactory {
    static std::unique_ptr<contract::ProcessesContractEnv> make() { return std::make_unique<SimProcessesEnv>(); }
};

}  // namespace veska::sim
