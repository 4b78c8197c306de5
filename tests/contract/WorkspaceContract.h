// Contract of the Workspace port: every implementation must pass these tests.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "ports/Workspace.h"

namespace veska::contract {

/// A test application the rig started, and the identity the workspace must report for it.
struct LaunchedApp {
    std::int32_t pid = 0;
    std::string bundleIdentifier{};
    std::string localizedName{};
};

class WorkspaceRig {
public:
    virtual ~WorkspaceRig() = default;
    virtual ports::Workspace& workspace() = 0;
    /// Starts a test application named `name` (in the background or front, as it comes).
    virtual LaunchedApp launchApp(const std::string& name) = 0;
    /// The user brings the application to the front.
    virtual void bringToFront(std::int32_t pid) = 0;
    virtual void quit(std::int32_t pid) = 0;
    /// A path that exists, and one that does not.
    virtual std::string existingPath() = 0;
    virtual std::string missingPath() = 0;
    virtual void pump(double seconds) = 0;
};

template <class Factory>
class WorkspaceContract : public ::testing::Test {
protected:
    std::unique_ptr<WorkspaceRig> rig = Factory::make();
    ports::Workspace& ws() { return rig->workspace(); }

    std::int32_t frontPid() {
        auto front = ws().frontmostApplication();
        return front ? front->pid : 0;
    }
    /// Polls for up to two seconds: activation completes after the request.
    bool waitForFront(std::int32_t pid) {
        for (int i = 0; i < 40 && frontPid() != pid; ++i) rig->pump(0.05);
        return frontPid() == pid;
    }
};

TYPED_TEST_SUITE_P(WorkspaceContract);

TYPED_TEST_P(WorkspaceContract, LaunchedApplicationIsListedWithItsIdentity) {
    const LaunchedApp app = this->rig->launchApp("Alpha");
    this->rig->pump(0.1);
    const auto all = this->ws().runningApplications();
    auto it = std::find_if(all.begin(), all.end(), [&](const ports::RunningApp& a) { return a.pid == app.pid; });
    ASSERT_NE(it, all.end());
    EXPECT_EQ(it->bundleIdentifier, app.bundleIdentifier);
    EXPECT_EQ(it->localizedName, app.localizedName);
    EXPECT_FALSE(it->terminated);
    auto byPid = this->ws().application(app.pid);
    ASSERT_TRUE(byPid.has_value());
    EXPECT_EQ(byPid->bundleIdentifier, app.bundleIdentifier);
    EXPECT_GT(this->ws().ownProcessId(), 0);
    EXPECT_NE(this->ws().ownProcessId(), app.pid);
}

TYPED_TEST_P(WorkspaceContract, FrontmostFollowsTheUserAndOnlyItIsActive) {
    const LaunchedApp a = this->rig->launchApp("Alpha");
    const LaunchedApp b = this->rig->launchApp("Beta");
    for (std::int32_t front : {a.pid, b.pid, a.pid}) {
        this->rig->bringToFront(front);
        ASSERT_TRUE(this->waitForFront(front));
        EXPECT_TRUE(this->ws().application(front)->active);
        EXPECT_FALSE(this->ws().application(front == a.pid ? b.pid : a.pid)->active);
    }
}

TYPED_TEST_P(WorkspaceContract, ActivateBringsAnApplicationToTheFrontInTime) {
    const LaunchedApp a = this->rig->launchApp("Alpha");
    const LaunchedApp b = this->rig->launchApp("Beta");
    this->rig->bringToFront(a.pid);
    ASSERT_TRUE(this->waitForFront(a.pid));
    EXPECT_TRUE(this->ws().activate(b.pid));
    EXPECT_TRUE(this->waitForFront(b.pid));
}

TYPED_TEST_P(WorkspaceContract, QuitApplicationIsTerminatedAndCannotBeActivated) {
    const LaunchedApp a = this->rig->launchApp("Alpha");
    this->rig->bringToFront(a.pid);
    ASSERT_TRUE(this->waitForFront(a.pid));
    this->rig->quit(a.pid);
    this->rig->pump(0.2);
    const auto all = this->ws().runningApplications();
    EXPECT_TRUE(std::none_of(all.begin(), all.end(), [&](const ports::RunningApp& x) { return x.pid == a.pid; }));
    auto gone = this->ws().application(a.pid);
    EXPECT_TRUE(!gone.has_value() || gone->terminated);
    EXPECT_NE(this->frontPid(), a.pid);
    EXPECT_FALSE(this->ws().activate(a.pid));
}

TYPED_TEST_P(WorkspaceContract, UnknownProcessIdsAreAnsweredPlainly) {
    for (std::int32_t pid : {0, -1, 2'000'000'000}) {
        SCOPED_TRACE(pid);
        EXPECT_FALSE(this->ws().application(pid).has_value());
        EXPECT_FALSE(this->ws().activate(pid));
    }
}

TYPED_TEST_P(WorkspaceContract, FileExistenceIsReportedForFilesAndTheirFolders) {
    const std::string existing = this->rig->existingPath();
    const std::string folder = existing.substr(0, existing.find_last_of('/'));
    const struct {
        std::string path;
        bool exists;
    } rows[] = {{existing, true}, {folder, true}, {this->rig->missingPath(), false}, {"", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(this->ws().fileExists(row.path), row.exists);
    }
}

REGISTER_TYPED_TEST_SUITE_P(WorkspaceContract, LaunchedApplicationIsListedWithItsIdentity,
                            FrontmostFollowsTheUserAndOnlyItIsActive, ActivateBringsAnApplicationToTheFrontInTime,
                            QuitApplicationIsTerminatedAndCannotBeActivated, UnknownProcessIdsAreAnsweredPlainly,
                            FileExistenceIsReportedForFilesAndTheirFolders);

}  // namespace veska::contract
