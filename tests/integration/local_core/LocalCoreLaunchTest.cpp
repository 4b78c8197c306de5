// Where the application finds the core it starts, with real files and processes: the node and
// core shipped in the bundle, else a development checkout in the home candidate run by the
// first node found there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/app/UserDefaults.h"
#include "integration/local_core/LocalCoreRig.h"

namespace veska {
namespace {

namespace fs = std::filesystem;

/// An executable at `path` that notes its own path in `marker`, then runs the real node.
void writeNode(const fs::path& path, const fs::path& marker) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\necho \"$0\" >> '" << marker.string() << "'\nexec '" << VESKA_NODE << "' \"$@\"\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(LocalCoreLaunch, TheBundledNodeRunsTheBundledCore) {
    platform::PosixLocalMachine probe;
    testing::CoreRig rig("http://127.0.0.1:" + std::to_string(testing::unusedPort(probe)), "", false);
    const fs::path resources = rig.bundle.path() / "Resources";
    const fs::path marker = rig.home.path() / "node-runs";
    writeNode(resources / "runtime/node", marker);
    fs::create_directory_symlink(fs::path(VESKA_SOURCE_DIR) / "packages/local-core", resources / "local-core");
    // A checkout in the home candidate too: the bundle wins.
    fs::create_directories(rig.home.path() / "dev");
    fs::create_directory_symlink(VESKA_SOURCE_DIR, rig.home.path() / "dev/veska-voice-client");

    rig.ensureCore();
    EXPECT_EQ(rig.service->coreSource(), "bundled");
    ASSERT_NE(rig.service->coreProcess(), nullptr);
    EXPECT_EQ(readAll(marker), (resources / "runtime/node").string() + "\n");
    EXPECT_TRUE(contract::runTask(rig.env, rig.service->client().dashboardReady()));
}

TEST(LocalCoreLaunch, WithoutABundledNodeTheHomeCheckoutRunsOnTheFirstNodeFound) {
    platform::PosixLocalMachine probe;
    testing::CoreRig rig("http://127.0.0.1:" + std::to_string(testing::unusedPort(probe)), "", false);
    const fs::path marker = rig.home.path() / "node-runs";
    // The bundle holds a core but no node.
    fs::create_directory_symlink(fs::path(VESKA_SOURCE_DIR) / "packages/local-core",
                                 rig.bundle.path() / "Resources/local-core");
    fs::create_directories(rig.home.path() / "dev");
    fs::create_directory_symlink(VESKA_SOURCE_DIR, rig.home.path() / "dev/veska-voice-client");
    // Two candidates: the one under ".corvel" comes first.
    writeNode(rig.home.path() / ".corvel/node/bin/node", marker);
    writeNode(rig.home.path() / ".local/bin/node", marker);

    rig.ensureCore();
    EXPECT_EQ(rig.service->coreSource(), "dev");
    ASSERT_NE(rig.service->coreProcess(), nullptr);
    EXPECT_EQ(readAll(marker), (rig.home.path() / ".corvel/node/bin/node").string() + "\n");
    EXPECT_TRUE(contract::runTask(rig.env, rig.service->client().dashboardReady()));
}

TEST(LocalCoreLaunch, NoCoreAnywhereLeavesTheSourceNone) {
    platform::PosixLocalMachine probe;
    testing::CoreRig rig("http://127.0.0.1:" + std::to_string(testing::unusedPort(probe)), "", false);
    // Nor in the current directory, the last candidate.
    const fs::path here = fs::current_path();
    fs::current_path(rig.home.path());
    rig.ensureCore();
    fs::current_path(here);
    EXPECT_EQ(rig.service->coreSource(), "none");
    EXPECT_EQ(rig.service->coreProcess(), nullptr);
    EXPECT_FALSE(rig.prefs.string(UserDefaults::kLocalCoreURL).has_value()) << "no address is remembered for a core never started";
}

}  // namespace
}  // namespace veska
