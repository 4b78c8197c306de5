// Permission states read from the capture device, the accessibility bus and the X server.
#include "platform/linux/permissions/LinuxPermissions.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "runtime/Race.h"
#include "runtime/Sleep.h"

namespace veska::platform {

using ports::Permission;
using ports::PermissionStatus;

namespace {

PermissionStatus fromFlag(bool granted) {
    return granted ? PermissionStatus::granted : PermissionStatus::denied;
}

}  // namespace

bool displayHasInputExtensions() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    int opcode = 0;
    int event = 0;
    int error = 0;
    bool ok = XQueryExtension(display, "XInputExtension", &opcode, &event, &error) != False;
    if (ok) {
        int major = 2;
        int minor = 2;
        ok = XIQueryVersion(display, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 2));
    }
    int testEvent = 0;
    int testError = 0;
    int testMajor = 0;
    int testMinor = 0;
    ok = ok && XTestQueryExtension(display, &testEvent, &testError, &testMajor, &testMinor) != False;
    XCloseDisplay(display);
    return ok;
}

LinuxPermissions::LinuxPermissions(rt::Executor& executor, ports::AudioCapture& capture,
                                   SettingsOpener openSettings)
    : executor_(executor), capture_(capture), openSettings_(std::move(openSettings)) {}

PermissionStatus LinuxPermissions::status(Permission permission) const {
    switch (permission) {
        case Permission::microphone:
            if (!checkingMicrophone_ &&
                (microphone_ != true || executor_.now() - microphoneCheckedAt_ >= kMicrophoneRecheckSeconds)) {
                checkingMicrophone_ = true;
                scope_.start(executor_, checkMicrophone());
            }
            if (!microphone_) return PermissionStatus::notDetermined;
            return fromFlag(*microphone_);
        case Permission::accessibility:
            return fromFlag(accessibility_.isEnabled().value_or(false));
        case Permission::inputMonitoring:
            return fromFlag(inputMonitoringAvailable());
        case Permission::screenRecording:
            return PermissionStatus::granted;
    }
    return PermissionStatus::denied;
}

bool LinuxPermissions::inputMonitoringAvailable() const {
    const char* name = std::getenv("DISPLAY");
    const std::string display = name == nullptr ? "" : name;
    if (display.empty()) return false;
    // The extensions of a running server do not change: one look per display.
    if (!inputMonitoring_ || inputMonitoring_->first != display) {
        inputMonitoring_ = std::make_pair(display, displayHasInputExtensions());
    }
    return inputMonitoring_->second;
}

rt::Task<void> LinuxPermissions::checkMicrophone() const {
    const bool opens = co_await capture_.requestAccess();
    checkingMicrophone_ = false;
    microphoneChecked(opens);
}

void LinuxPermissions::microphoneChecked(bool opens) const {
    microphone_ = opens;
    microphoneCheckedAt_ = executor_.now();
    std::vector<rt::Completion<void>> waiters;
    waiters.swap(microphoneWaiters_);
    for (auto& waiter : waiters) waiter.resolve();
}

rt::Task<void> LinuxPermissions::settled() {
    if (microphone_) co_return;
    (void)status(Permission::microphone);  // starts the first check unless one runs
    rt::Completion<void> known;
    microphoneWaiters_.push_back(known);
    co_await rt::race(rt::completed(known), rt::delay(kSettleSeconds));
}

rt::Task<bool> LinuxPermissions::request(Permission permission) {
    switch (permission) {
        case Permission::microphone: {
            const bool opens = co_await capture_.requestAccess();
            microphoneChecked(opens);
            co_return opens;
        }
        case Permission::accessibility:
            if (accessibility_.isEnabled() == true) co_return true;
            accessibility_.setEnabled(true);
            co_return accessibility_.isEnabled() == true;
        case Permission::inputMonitoring:
        case Permission::screenRecording:
            co_return granted(permission);
    }
    co_return false;
}

void LinuxPermissions::openSettings(Permission permission) {
    if (openSettings_) openSettings_(permission);
}

}  // namespace veska::platform
