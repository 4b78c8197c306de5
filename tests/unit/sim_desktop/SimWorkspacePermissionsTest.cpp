// Simulated activation timing and permission questions on virtual time.
#include <gtest/gtest.h>

#include "SimRigs.h"

namespace veska::sim::testing {
namespace {

using ports::Permission;
using ports::PermissionStatus;

TEST(SimWorkspace, ActivationTakesItsDelayAndCanBeRefusedOrOvertaken) {
    SimRigBase rig;
    auto& ws = rig.desktop.workspace();
    const std::int32_t slow = rig.desktop.launchApp({.bundleIdentifier = "a.slow", .activationDelaySeconds = 0.3});
    const std::int32_t stubborn = rig.desktop.launchApp({.bundleIdentifier = "a.stubborn", .refusesActivation = true});
    EXPECT_TRUE(ws.activate(slow));
    rig.loop.runFor(0.29);
    EXPECT_EQ(ws.frontmostPid(), rig.appPid);
    rig.loop.runFor(0.01);
    EXPECT_EQ(ws.frontmostPid(), slow);
    EXPECT_FALSE(ws.activate(stubborn));
    EXPECT_EQ(ws.frontmostPid(), slow);
    EXPECT_TRUE(ws.activate(rig.appPid));
    EXPECT_TRUE(ws.activate(slow));
    ws.quit(slow);  // quits before its activation completes
    rig.loop.runFor(1);
    EXPECT_EQ(ws.frontmostPid(), rig.appPid);
    EXPECT_TRUE(ws.application(slow)->terminated);
    EXPECT_EQ(ws.activationRequests(slow), 2);
    ws.quit(rig.appPid);
    EXPECT_FALSE(ws.frontmostApplication().has_value()) << "nothing is in front after the front app quits";
}

TEST(SimPermissions, MicrophoneRequestWaitsForTheAnswerOthersAnswerAtOnce) {
    struct Row {
        Permission permission;
        PermissionStatus before;
        PermissionAnswer answer;
        bool result;
        double finishedAt;
        bool grantedAfter;
    };
    const Row rows[] = {
        {Permission::microphone, PermissionStatus::notDetermined, PermissionAnswer::grant, true, 2.0, true},
        {Permission::microphone, PermissionStatus::notDetermined, PermissionAnswer::deny, false, 2.0, false},
        {Permission::microphone, PermissionStatus::denied, PermissionAnswer::grant, false, 0.0, false},
        {Permission::accessibility, PermissionStatus::denied, PermissionAnswer::grant, false, 0.0, true},
        {Permission::screenRecording, PermissionStatus::denied, PermissionAnswer::unchanged, false, 0.0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(ports::permissionName(row.permission)));
        SimRigBase rig;
        auto& perms = rig.desktop.permissions();
        perms.set(row.permission, row.before);
        perms.answerRequests(row.permission, row.answer, 2.0);
        EXPECT_EQ(rig.loop.run(perms.request(row.permission)), row.result);
        EXPECT_DOUBLE_EQ(rig.loop.now(), row.finishedAt);
        rig.loop.runFor(5);
        EXPECT_EQ(perms.granted(row.permission), row.grantedAfter);
        EXPECT_EQ(perms.requestCount(row.permission), 1);
    }
}

}  // namespace
}  // namespace veska::sim::testing
