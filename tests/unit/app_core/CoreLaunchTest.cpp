// Finding the local core's program, a node runtime, and a free loopback port.
#include <gtest/gtest.h>

#include "core/app/CoreLaunch.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimLocalMachine.h"
#include "platform/sim/SimProcesses.h"
#include "runtime/VirtualLoop.h"

namespace veska {
namespace {

using V2Config::CoreLaunch;

constexpr char kResources[] = "/opt/Veska.app/Contents/Resources";
constexpr char kHomeRepo[] = "/home/u/dev/veska-voice-client";

struct LaunchRig {
    rt::VirtualLoop loop;
    sim::SimEnvironment env{"/home/u"};
    sim::SimLocalMachine machine;
    sim::SimProcesses processes{loop.lane("system")};

    V2Config::LaunchHost host(std::optional<std::string> resources = kResources) {
        return {V2Config::Bundle{std::move(resources)}, &env, &machine, &processes};
    }
    std::optional<CoreLaunch> resolve(std::optional<std::string> resources = kResources) {
        return loop.run(V2Config::resolveCoreLaunch(V2Config::Bundle{resources}, host(resources)));
    }
    void bundleNode(bool executable) { machine.addFile(std::string(kResources) + "/runtime/node", "", executable); }
    void bundleCli() { machine.addFile(std::string(kResources) + "/local-core/cli.mjs"); }
    void checkout(const std::string& root) { machine.addFile(root + "/packages/local-core/cli.mjs"); }
    void whichPrints(std::string text) {
        sim::SimProgram which;
        which.output = {{0, sim::SimStream::out, std::move(text)}, {0, sim::SimStream::err, "noise"}};
        processes.install("/usr/bin/which", which);
    }
};

TEST(CoreLaunch, FirstFreeLoopbackPort) {
    struct Row {
        std::vector<int> listening;
        std::vector<int> socketFails;
        int expected;
    };
    std::vector<int> all;
    for (int port = 8797; port < 8817; ++port) all.push_back(port);
    const std::vector<Row> rows{
        {{}, {}, 8797},
        {{8797}, {}, 8798},
        {{8797, 8798, 8800}, {}, 8799},
        {{8797}, {8798}, 8799},
        {all, {}, 8817},
        {{}, all, 8817},
        {{8816}, {}, 8797},
    };
    for (const Row& row : rows) {
        sim::SimLocalMachine machine;
        for (int port : row.listening) machine.listen(port);
        for (int port : row.socketFails) machine.failSocket(port);
        EXPECT_EQ(V2Config::firstFreeLoopbackPort(machine, 8797, 20), row.expected);
        EXPECT_EQ(machine.probes().back(), std::min(row.expected, 8816)) << "no port is tried after the free one";
    }
}

TEST(CoreLaunch, TheBundledCoreComesFirst) {
    LaunchRig rig;
    rig.bundleNode(true);
    rig.bundleCli();
    rig.checkout(kHomeRepo);
    const std::string core = std::string(kResources) + "/local-core";
    EXPECT_EQ(rig.resolve(), (CoreLaunch{std::string(kResources) + "/runtime/node", core + "/cli.mjs", core, "bundled"}));
    EXPECT_TRUE(rig.processes.launches().empty()) << "which is not asked";
}

TEST(CoreLaunch, WithoutABundledRuntimeTheCheckoutRunsOnTheFirstNodeFound) {
    struct Row {
        const char* label;
        std::vector<std::pair<std::string, bool>> nodes;  // path, executable
        std::optional<std::string> variable;
        std::string which;
        std::string expectedNode;
    };
    const std::vector<Row> rows{
        {"variable first", {{"/x/node", true}, {"/usr/local/bin/node", true}}, "/x/node", "", "/x/node"},
        {"variable not executable", {{"/x/node", false}, {"/home/u/.local/bin/node", true}}, "/x/node", "",
         "/home/u/.local/bin/node"},
        {"home runtimes in order", {{"/home/u/.corvel/node/bin/node", true}, {"/home/u/.local/bin/node", true}},
         std::nullopt, "", "/home/u/.corvel/node/bin/node"},
        {"system places", {{"/opt/homebrew/bin/node", true}, {"/usr/local/bin/node", true}}, std::nullopt, "",
         "/opt/homebrew/bin/node"},
        {"which", {{"/usr/bin/node", true}}, std::nullopt, "  /usr/bin/node\n", "/usr/bin/node"},
        {"which finds no executable", {{"/usr/bin/node", false}}, std::nullopt, "/usr/bin/node\n", "/usr/bin/env"},
        {"which prints nothing", {}, std::nullopt, "", "/usr/bin/env"},
    };
    for (const Row& row : rows) {
        LaunchRig rig;
        rig.bundleNode(false);
        rig.bundleCli();
        rig.checkout(kHomeRepo);
        for (const auto& [path, executable] : row.nodes) rig.machine.addFile(path, "", executable);
        if (row.variable) rig.env.setVariable("VESKA_VOICE_NODE_BIN", *row.variable);
        rig.whichPrints(row.which);
        const std::string core = std::string(kHomeRepo) + "/packages/local-core";
        EXPECT_EQ(rig.resolve(), (CoreLaunch{row.expectedNode, core + "/cli.mjs", core, "dev"})) << row.label;
    }
}

TEST(CoreLaunch, WhichIsAskedForNodeWithItsErrorsDiscarded) {
    LaunchRig rig;
    rig.checkout(kHomeRepo);
    rig.machine.addFile("/usr/bin/node", "", true);
    rig.whichPrints("/usr/bin/node\n");
    ASSERT_TRUE(rig.resolve(std::nullopt));
    ASSERT_EQ(rig.processes.launches().size(), 1u);
    const auto& launch = rig.processes.launches()[0];
    EXPECT_EQ(launch.executable, "/usr/bin/which");
    EXPECT_EQ(launch.arguments, std::vector<std::string>{"node"});
    EXPECT_EQ(launch.output, ports::ProcessOutput::capture);
    EXPECT_EQ(launch.errorOutput, ports::ProcessOutput::discard);

    LaunchRig missing;
    missing.checkout(kHomeRepo);
    EXPECT_EQ(missing.resolve(std::nullopt)->nodePath, "/usr/bin/env") << "no which program at all";
}

TEST(CoreLaunch, DevRepoRootCandidates) {
    struct Row {
        const char* label;
        std::optional<std::string> marker;  // repo-root.txt contents
        std::vector<std::string> checkouts;
        std::string cwd;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"marker", " \n/src/veska\n\n", {"/src/veska", kHomeRepo}, "/", "/src/veska"},
        {"marker without a core", "/src/empty", {kHomeRepo}, "/", kHomeRepo},
        {"home before cwd", std::nullopt, {kHomeRepo, "/work/veska"}, "/work/veska", kHomeRepo},
        {"cwd", std::nullopt, {"/work/veska"}, "/work/veska", "/work/veska"},
        {"neither", std::nullopt, {}, "/work/veska", kHomeRepo},
    };
    for (const Row& row : rows) {
        LaunchRig rig;
        if (row.marker) rig.machine.addFile(std::string(kResources) + "/repo-root.txt", *row.marker);
        for (const auto& root : row.checkouts) rig.checkout(root);
        rig.machine.setCurrentDirectory(row.cwd);
        EXPECT_EQ(V2Config::findDevRepoRoot(rig.host()), row.expected) << row.label;
    }
    LaunchRig unreadable;
    unreadable.machine.addUnreadableFile(std::string(kResources) + "/repo-root.txt");
    unreadable.checkout("");  // only an empty marker would name this one
    EXPECT_EQ(V2Config::findDevRepoRoot(unreadable.host()), kHomeRepo);
}

TEST(CoreLaunch, NothingToLaunch) {
    LaunchRig rig;
    rig.bundleNode(true);  // a runtime without its core
    EXPECT_EQ(rig.resolve(), std::nullopt);
    EXPECT_EQ(rig.resolve(std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace veska
