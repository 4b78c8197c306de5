// Making sure a local core answers: reuse, wait, find, start on a free port, give up.
#include <gtest/gtest.h>

#include "unit/app_core/LocalCoreRig.h"
#include "core/app/EnsureCore.h"
#include "core/app/LocalCoreService.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimLocalMachine.h"
#include "platform/sim/SimPreferences.h"
#include "platform/sim/SimProcesses.h"
#include "support/TempDir.h"

namespace veska {
namespace {

using ports::HttpMethod;

constexpr char kResources[] = "/opt/Veska.app/Contents/Resources";
constexpr char kNode[] = "/opt/Veska.app/Contents/Resources/runtime/node";

/// A machine with a bundled core whose node program, once launched, starts serving on its PORT
/// `bootSeconds` later.
struct CoreRig : testing::LocalCoreRig {
    sim::SimEnvironment env{"/home/u"};
    sim::SimLocalMachine machine;
    sim::SimProcesses processes{loop.lane("system")};
    sim::SimPreferences prefs;
    std::map<int, std::unique_ptr<sim::SimHttpServer>> servers;
    std::unique_ptr<ports::Process> coreProcess;
    std::string coreSource = "none";
    double bootSeconds = 1.0;
    std::vector<rt::Timer> boots;

    CoreRig() {
        machine.addFile(kNode, "", true);
        machine.addFile(std::string(kResources) + "/local-core/cli.mjs");
        sim::SimProgram node;
        node.lifetimeSeconds = -1;
        processes.install(kNode, node);
        processes.addDirectory(std::string(kResources) + "/local-core");
        processes.onLaunch(kNode, [this](const ports::ProcessLaunch& launch, int) {
            const int port = std::stoi(launch.environment.at("PORT"));
            boots.push_back(loop.main().postAfter(bootSeconds, [this, port] { serve(port); }));
        });
    }

    sim::SimHttpServer& server(int port) {
        if (port == 8797) return core;  // the default address the client starts with
        auto& slot = servers[port];
        if (!slot) {
            slot = std::make_unique<sim::SimHttpServer>("http://127.0.0.1:" + std::to_string(port));
            http.attach(*slot);
        }
        return *slot;
    }
    /// A healthy core listens at `port`.
    void serve(int port) {
        machine.listen(port);
        testing::serveHealthyCore(server(port));
    }

    EnsureCoreContext context() {
        return {&client, &prefs, {V2Config::Bundle{kResources}, &env, &machine, &processes}, &coreProcess, &coreSource};
    }
    double ensure() {
        const double started = loop.now();
        run(ensureCore(context()));
        return loop.now() - started;
    }
    std::size_t readinessChecks(int port) { return server(port).requestsTo("/healthz").size(); }
};

TEST(EnsureCore, ACoreServingTheDashboardIsUsedAsItIs) {
    CoreRig rig;
    rig.serve(8797);
    EXPECT_EQ(rig.ensure(), 0.0);
    EXPECT_EQ(rig.coreSource, "running");
    EXPECT_TRUE(rig.processes.launches().empty());
    EXPECT_FALSE(rig.prefs.get("localCoreURL"));

    rig.coreSource = "bundled";
    rig.ensure();
    EXPECT_EQ(rig.coreSource, "bundled") << "a known source is kept";
}

TEST(EnsureCore, ABusyPortWithoutTheDashboardGetsANewCoreOnTheNextPort) {
    CoreRig rig;
    rig.machine.listen(8797);
    rig.server(8797).reply(HttpMethod::get, "/healthz", 200, R"({"ok":true})");
    rig.server(8797).reply(HttpMethod::get, "/", 200, R"({"not":"a page"})");
    rig.ensure();
    EXPECT_EQ(rig.coreSource, "bundled");
    EXPECT_EQ(rig.prefs.string("localCoreURL"), "http://127.0.0.1:8798");
    EXPECT_EQ(rig.client.baseURL, "http://127.0.0.1:8798");
    ASSERT_EQ(rig.processes.launches().size(), 1u);
    const ports::ProcessLaunch& launch = rig.processes.launches()[0];
    EXPECT_EQ(launch.executable, kNode);
    EXPECT_EQ(launch.arguments, (std::vector<std::string>{std::string(kResources) + "/local-core/cli.mjs", "serve"}));
    EXPECT_EQ(launch.workingDirectory, std::string(kResources) + "/local-core");
    EXPECT_EQ(launch.environment, (std::map<std::string, std::string>{{"PORT", "8798"}}));
    EXPECT_TRUE(launch.inheritEnvironment);
    EXPECT_EQ(launch.output, ports::ProcessOutput::discard);
    EXPECT_EQ(launch.errorOutput, ports::ProcessOutput::discard);
    ASSERT_TRUE(rig.coreProcess);
    EXPECT_TRUE(rig.coreProcess->isRunning());
}

TEST(EnsureCore, WaitsForTheNewCoreInRoundsOf150Milliseconds) {
    struct Row {
        double bootSeconds;
        double expectedSeconds;
        std::size_t expectedChecks;  // at the new core's address
    };
    const std::vector<Row> rows{
        {0.1, 0.15, 1},
        {1.0, 1.05, 7},
        {5.9, 6.0, 40},
        {30, 6.0, 40},  // gives up after 40 rounds; the process stays
    };
    for (const Row& row : rows) {
        CoreRig rig;
        rig.bootSeconds = row.bootSeconds;
        EXPECT_NEAR(rig.ensure(), row.expectedSeconds, 1e-9) << row.bootSeconds;
        EXPECT_EQ(rig.readinessChecks(8797), row.expectedChecks + 1) << "one look before starting";
        EXPECT_EQ(rig.coreSource, "bundled");
        ASSERT_TRUE(rig.coreProcess);
        EXPECT_TRUE(rig.coreProcess->isRunning());
    }
}

TEST(EnsureCore, ACoreStillStartingGetsFifteenRoundsThenANewOneStarts) {
    CoreRig rig;
    rig.bootSeconds = 100;  // the first core never comes up
    rig.ensure();
    ASSERT_EQ(rig.processes.launches().size(), 1u);
    const int firstPid = rig.coreProcess->pid();

    rig.bootSeconds = 0.5;
    const double took = rig.ensure();
    // 15 rounds of 200 ms at the stored address, then a new core found ready after 4 rounds.
    EXPECT_NEAR(took, 15 * 0.2 + 4 * 0.15, 1e-9);
    ASSERT_EQ(rig.processes.launches().size(), 2u);
    EXPECT_NE(rig.coreProcess->pid(), firstPid);
    EXPECT_TRUE(rig.processes.isRunning(firstPid)) << "the old core is dropped, not signalled";
}

TEST(EnsureCore, ACoreStillStartingThatComesUpInTimeIsKept) {
    CoreRig rig;
    rig.bootSeconds = 6.5;
    rig.ensure();  // gives up at 6 s
    const double took = rig.ensure();
    EXPECT_NEAR(took, 0.6, 1e-9) << "ready at the third 200 ms round";
    EXPECT_EQ(rig.processes.launches().size(), 1u);
}

TEST(EnsureCore, ADeadCoreIsForgottenAndReplacedAtOnce) {
    CoreRig rig;
    rig.bootSeconds = 100;
    rig.ensure();
    rig.processes.kill(rig.coreProcess->pid(), 9);
    rig.bootSeconds = 0.1;
    EXPECT_NEAR(rig.ensure(), 0.15, 1e-9) << "no waiting for a dead core";
    EXPECT_EQ(rig.processes.launches().size(), 2u);
}

TEST(EnsureCore, NoLaunchOrAFailedLaunchLeavesNoSource) {
    CoreRig none;
    none.machine.remove(std::string(kResources) + "/local-core/cli.mjs");
    none.coreSource = "running";
    EXPECT_EQ(none.ensure(), 0.0);
    EXPECT_EQ(none.coreSource, "none");
    EXPECT_FALSE(none.prefs.get("localCoreURL"));

    CoreRig failing;
    failing.processes.uninstall(kNode);  // the file is there, the program cannot start
    EXPECT_EQ(failing.ensure(), 0.0);
    EXPECT_EQ(failing.coreSource, "none");
    EXPECT_EQ(failing.prefs.string("localCoreURL"), "http://127.0.0.1:8797") << "the address was chosen first";
    EXPECT_FALSE(failing.coreProcess);
}

TEST(EnsureCore, TheDevelopmentCheckoutRunsThroughEnvWithoutANode) {
    CoreRig rig;
    rig.machine.remove(kNode);
    rig.machine.addFile("/home/u/dev/veska-voice-client/packages/local-core/cli.mjs");
    sim::SimProgram env;
    env.lifetimeSeconds = -1;
    rig.processes.install("/usr/bin/env", env);
    rig.processes.addDirectory("/home/u/dev/veska-voice-client/packages/local-core");
    rig.processes.onLaunch("/usr/bin/env", [&rig](const ports::ProcessLaunch& launch, int) {
        rig.serve(std::stoi(launch.environment.at("PORT")));
    });
    rig.ensure();
    EXPECT_EQ(rig.coreSource, "dev");
    ASSERT_EQ(rig.processes.launches().size(), 2u) << "which (not installed here), then the core";
    EXPECT_EQ(rig.processes.launches()[0].executable, "/usr/bin/which");
    const ports::ProcessLaunch& core = rig.processes.launches()[1];
    EXPECT_EQ(core.executable, "/usr/bin/env");
    EXPECT_EQ(core.arguments, (std::vector<std::string>{
                                  "/home/u/dev/veska-voice-client/packages/local-core/cli.mjs", "serve"}));
    EXPECT_EQ(core.workingDirectory, "/home/u/dev/veska-voice-client/packages/local-core");
}

TEST(LocalCoreService, StartsItsCoreOnceAndTranscribesThroughIt) {
    CoreRig rig;
    LocalCoreService service(rig.http, testing::kCoreOrigin, "tok", rig.prefs,
                             {V2Config::Bundle{kResources}, &rig.env, &rig.machine, &rig.processes});
    rig.bootSeconds = 0.3;
    rig.run(service.ensureCore());
    EXPECT_EQ(service.coreSource(), "bundled");
    ASSERT_TRUE(service.coreProcess());
    rig.run(service.ensureCore());
    EXPECT_EQ(rig.processes.launches().size(), 1u) << "the running core is used";
    EXPECT_EQ(service.coreSource(), "bundled");

    testing::TempDir dir;
    dir.write("t.m4a", "aac");
    rig.server(8797).reply(HttpMethod::post, "/v1/audio/transcriptions", 200, R"({"text":" hi "})");
    rig.server(8797).reply(HttpMethod::get, "/v1/config", 200, R"({"prefs":{"locale":"en"}})");
    EXPECT_EQ(rig.run(service.transcribe((dir.path() / "t.m4a").string())), " hi ");
    EXPECT_EQ(rig.run(service.prefs()), nlohmann::json::parse(R"({"locale":"en"})"));
    EXPECT_EQ(rig.server(8797).requestsTo("/v1/audio/transcriptions").at(0).headers.value("Authorization"),
              "Bearer tok");
}

}  // namespace
}  // namespace veska
