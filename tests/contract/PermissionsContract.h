// Contract of the Permissions port: every implementation must pass these tests.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "ports/Permissions.h"

namespace veska::contract {

class PermissionsRig {
public:
    virtual ~PermissionsRig() = default;
    virtual ports::Permissions& permissions() = 0;
    /// Whether the rig can grant and revoke permissions behind the port's back.
    [[nodiscard]] virtual bool canSwitch() const = 0;
    virtual void setGranted(ports::Permission permission, bool granted) = 0;
    /// Runs a request to its end (bounded by the rig) and gives its answer.
    virtual bool run(rt::Task<bool> request) = 0;
    /// How many times the settings place of `permission` was shown.
    virtual int settingsShown(ports::Permission permission) = 0;
};

inline constexpr ports::Permission kAllPermissions[] = {ports::Permission::microphone,
                                                         ports::Permission::accessibility,
                                                         ports::Permission::inputMonitoring,
                                                         ports::Permission::screenRecording};

template <class Factory>
class PermissionsContract : public ::testing::Test {
protected:
    std::unique_ptr<PermissionsRig> rig = Factory::make();
};

TYPED_TEST_SUITE_P(PermissionsContract);

TYPED_TEST_P(PermissionsContract, SwitchesAreSeenAtTheNextRead) {
    if (!this->rig->canSwitch()) GTEST_SKIP() << "this rig cannot switch permissions";
    for (ports::Permission p : kAllPermissions) {
        SCOPED_TRACE(std::string(ports::permissionName(p)));
        this->rig->setGranted(p, false);
        EXPECT_FALSE(this->rig->permissions().granted(p));
        this->rig->setGranted(p, true);
        EXPECT_TRUE(this->rig->permissions().granted(p));
    }
}

TYPED_TEST_P(PermissionsContract, RequestOfAGrantedPermissionAnswersTrue) {
    for (ports::Permission p : kAllPermissions) {
        SCOPED_TRACE(std::string(ports::permissionName(p)));
        if (this->rig->canSwitch()) this->rig->setGranted(p, true);
        if (!this->rig->permissions().granted(p)) continue;
        EXPECT_TRUE(this->rig->run(this->rig->permissions().request(p)));
    }
}

TYPED_TEST_P(PermissionsContract, RequestOfARefusedPermissionEndsWithFalse) {
    if (!this->rig->canSwitch()) GTEST_SKIP() << "this rig cannot switch permissions";
    for (ports::Permission p : kAllPermissions) {
        SCOPED_TRACE(std::string(ports::permissionName(p)));
        this->rig->setGranted(p, false);
        EXPECT_FALSE(this->rig->run(this->rig->permissions().request(p)));
    }
}

TYPED_TEST_P(PermissionsContract, OpeningSettingsShowsThePlaceOfThatPermissionOnly) {
    const int before = this->rig->settingsShown(ports::Permission::inputMonitoring);
    const int otherBefore = this->rig->settingsShown(ports::Permission::microphone);
    this->rig->permissions().openSettings(ports::Permission::inputMonitoring);
    EXPECT_EQ(this->rig->settingsShown(ports::Permission::inputMonitoring), before + 1);
    EXPECT_EQ(this->rig->settingsShown(ports::Permission::microphone), otherBefore);
}

REGISTER_TYPED_TEST_SUITE_P(PermissionsContract, SwitchesAreSeenAtTheNextRead, RequestOfAGrantedPermissionAnswersTrue,
                            RequestOfARefusedPermissionEndsWithFalse, OpeningSettingsShowsThePlaceOfThatPermissionOnly);

}  // namespace veska::contract
