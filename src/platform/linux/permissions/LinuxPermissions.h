// The permissions port on an X11 desktop.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/atspi/A11yStatus.h"
#include "ports/AudioCapture.h"
#include "ports/Permissions.h"
#include "runtime/Completion.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"

namespace veska::platform {

/// What each permission means here:
/// - microphone: a capture device opens (asked of the capture port). `status` answers from the
///   last check (`notDetermined` before the first one ends) and starts a new one in the
///   background: at once while the microphone is missing, at most once a minute while it opens
///   (each check connects to the sound server, and the watchdog asks every few seconds);
///   `request` waits for a check of its own; `settled` waits for the first check, at most
///   `kSettleSeconds` (a sound server that does not answer counts as no microphone then).
/// - accessibility: the session's accessibility switch (`org.a11y.Status.IsEnabled`); asking
///   switches it on for the session. Applications started before that may have to be restarted
///   to expose their text (Qt ones do).
/// - input monitoring: the display has XInput 2.2 and XTest (checked once per display).
/// - screen recording: always granted on X11.
/// `openSettings` calls the function the app gives (it shows Veska's own help window). Lives
/// on the main executor.
class LinuxPermissions final : public ports::Permissions {
public:
    /// How long an answer that the microphone opens stands before it is checked again.
    static constexpr double kMicrophoneRecheckSeconds = 60;
    /// The longest `settled` waits for the first microphone check.
    static constexpr double kSettleSeconds = 1.5;

    using SettingsOpener = std::function<void(ports::Permission)>;

    LinuxPermissions(rt::Executor& executor, ports::AudioCapture& capture, SettingsOpener openSettings);

    [[nodiscard]] ports::PermissionStatus status(ports::Permission permission) const override;
    rt::Task<bool> request(ports::Permission permission) override;
    void openSettings(ports::Permission permission) override;
    rt::Task<void> settled() override;

private:
    void microphoneChecked(bool opens) const;
    rt::Task<void> checkMicrophone() const;
    [[nodiscard]] bool inputMonitoringAvailable() const;

    rt::Executor& executor_;
    ports::AudioCapture& capture_;
    SettingsOpener openSettings_;
    mutable A11yStatus accessibility_;
    mutable std::optional<bool> microphone_;
    mutable bool checkingMicrophone_ = false;
    /// Who waits in `settled` for the microphone's first answer.
    mutable std::vector<rt::Completion<void>> microphoneWaiters_;
    /// When the last microphone check ended (the executor's clock).
    mutable double microphoneCheckedAt_ = 0;
    mutable std::optional<std::pair<std::string, bool>> inputMonitoring_;  // display, answer
    mutable rt::Scope scope_;  // last: its checks stop before the fields they use die
};

/// Whether the X display named by DISPLAY has XInput 2.2 and XTest; false without a display.
[[nodiscard]] bool displayHasInputExtensions();

}  // namespace veska::platform
