// Which core the application uses, with real cores and real ports: one already answering is
// kept, a stranger on the remembered port moves the new core on, twenty busy ports end at 8817.
#include <gtest/gtest.h>

#include "core/app/UserDefaults.h"
#include "integration/local_core/LocalCoreRig.h"

namespace veska {
namespace {

using testing::BusyPort;
using testing::CoreRig;

/// Starts `node cli.mjs serve` of this checkout on `port`, as another instance would have.
std::unique_ptr<ports::Process> startCore(CoreRig& rig, int port) {
    ports::ProcessLaunch launch;
    launch.executable = VESKA_NODE;
    launch.arguments = {std::string(VESKA_SOURCE_DIR) + "/packages/local-core/cli.mjs", "serve"};
    launch.environment["PORT"] = std::to_string(port);
    std::unique_ptr<ports::Process> process = rig.processes.launch(launch);
    rig.reaper.add(process->pid());
    return process;
}

/// Something else on `port`: it answers the health check but serves no dashboard page (its
/// "/" is a 404 page that contains "<html").
std::unique_ptr<ports::Process> startStranger(CoreRig& rig, int port) {
    ports::ProcessLaunch launch;
    launch.executable = VESKA_NODE;
    launch.arguments = {"-e",
                        "require('http').createServer((q, r) => q.url === '/healthz'"
                        " ? r.writeHead(200, {'Content-Type': 'application/json'}).end('{\"ok\":true}')"
                        " : r.writeHead(404, {'Content-Type': 'text/html'}).end('<html>not here</html>'))"
                        ".listen(" + std::to_string(port) + ", '127.0.0.1')"};
    std::unique_ptr<ports::Process> process = rig.processes.launch(launch);
    rig.reaper.add(process->pid());
    return process;
}

std::string loopbackURL(int port) { return "http://127.0.0.1:" + std::to_string(port); }

/// The first port of the cores' range nobody listens on now (8797 on a quiet machine).
int firstFreeCorePort(platform::PosixLocalMachine& probe) {
    int port = kCorePortStart;
    while (port < kCorePortStart + kCorePortCount && probe.loopbackPortAnswers(port) != false) ++port;
    return port;
}

TEST(LocalCorePorts, ACoreAlreadyAnsweringIsUsedAsItIs) {
    platform::PosixLocalMachine probe;
    // Another instance's core, on the first port it could take.
    const int port = firstFreeCorePort(probe);
    CoreRig rig(loopbackURL(port));
    const auto running = startCore(rig, port);
    ASSERT_TRUE(contract::runTask(rig.env, testing::waitForPort(&rig.machine, port)));
    ASSERT_TRUE(contract::runTask(rig.env, rig.service->client().dashboardReady()));

    rig.ensureCore();
    EXPECT_EQ(rig.service->coreSource(), "running");
    EXPECT_EQ(rig.service->coreProcess(), nullptr) << "no second core";
    EXPECT_EQ(rig.service->client().baseURL, loopbackURL(port));
    EXPECT_FALSE(rig.prefs.string(UserDefaults::kLocalCoreURL).has_value()) << "nothing new to remember";
    EXPECT_TRUE(running->isRunning());
}

TEST(LocalCorePorts, AStrangerOnTheRememberedPortMovesTheNewCoreToTheNextFreeOne) {
    // The first port of the range nobody uses now (8797 on a quiet machine) with a free one
    // after it: the stranger takes the first, as a program started before Veska would.
    platform::PosixLocalMachine probe;
    const int first = firstFreeCorePort(probe);
    if (probe.loopbackPortAnswers(first) != false || probe.loopbackPortAnswers(first + 1) != false) {
        GTEST_SKIP() << "no two free ports in the cores' range";
    }
    CoreRig rig(loopbackURL(first));
    startStranger(rig, first);
    ASSERT_TRUE(contract::runTask(rig.env, testing::waitForPort(&rig.machine, first)));
    ASSERT_FALSE(contract::runTask(rig.env, rig.service->client().dashboardReady())) << "health alone is not a core";

    rig.ensureCore();
    EXPECT_EQ(rig.service->coreSource(), "dev");
    ASSERT_NE(rig.service->coreProcess(), nullptr);
    EXPECT_EQ(rig.service->client().baseURL, loopbackURL(first + 1));
    EXPECT_EQ(rig.prefs.string(UserDefaults::kLocalCoreURL), loopbackURL(first + 1));
    EXPECT_TRUE(contract::runTask(rig.env, rig.service->client().dashboardReady()));
}

TEST(LocalCorePorts, TwentyBusyPortsSendTheNewCoreTo8817) {
    platform::PosixLocalMachine probe;
    // The remembered address answers nothing, so the application looks for a port.
    CoreRig rig(loopbackURL(testing::unusedPort(probe)));
    if (rig.machine.loopbackPortAnswers(kCorePortStart + kCorePortCount) != false) GTEST_SKIP() << "port 8817 is taken";
    std::vector<std::unique_ptr<BusyPort>> busy;
    for (int port = kCorePortStart; port < kCorePortStart + kCorePortCount; ++port) {
        busy.push_back(std::make_unique<BusyPort>(port));
        // A port another program holds is busy all the same.
        ASSERT_TRUE(busy.back()->bound() || rig.machine.loopbackPortAnswers(port) == true) << port;
    }

    rig.ensureCore();
    EXPECT_EQ(rig.service->coreSource(), "dev");
    ASSERT_NE(rig.service->coreProcess(), nullptr);
    EXPECT_EQ(rig.prefs.string(UserDefaults::kLocalCoreURL), "http://127.0.0.1:8817");
    EXPECT_EQ(rig.service->client().baseURL, "http://127.0.0.1:8817");
    EXPECT_TRUE(contract::runTask(rig.env, rig.service->client().dashboardReady())) << "the core serves on 8817";
}

}  // namespace
}  // namespace veska
