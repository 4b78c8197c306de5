// The permissions window as the platform draws it: everything it shows, and its buttons.
#pragma once

#include <array>
#include <functional>
#include <string>

namespace veska {

/// One permission's card.
struct PermissionStepView {
    std::string symbol;  ///< the icon's symbol name ("mic.fill", "accessibility", "keyboard")
    std::string title;
    std::string reason;
    std::string buttonTitle;
    std::string statusText;  ///< "On" or "Off"
    bool granted = false;    ///< the status in the success colour (else the warning colour)

    bool operator==(const PermissionStepView&) const = default;
};

/// The whole content of the window at one moment, in the interface language.
struct PermissionsSetupContent {
    std::string title;
    std::string heading;
    std::string progress;
    std::string note;
    std::string summary;
    bool ready = false;  ///< every permission granted: the summary in the success colour, the success
                         ///< panel shown and the steps hidden
    std::string successText;
    std::array<PermissionStepView, 3> steps;
    std::string checkAgainTitle;
    std::string doneTitle;

    bool operator==(const PermissionsSetupContent&) const = default;
};

/// The window (480 × 540, titled, closable, centred, kept after closing). Lives on the main
/// executor; every callback is called there.
class PermissionsSetupView {
public:
    virtual ~PermissionsSetupView() = default;

    /// A card's button (0 microphone, 1 Accessibility, 2 Input Monitoring).
    std::function<void(int step)> onOpenSettings;
    std::function<void()> onCheckAgain;
    std::function<void()> onDone;
    /// The user closed the window.
    std::function<void()> onClosed;

    /// Draws `content`, building the window the first time.
    virtual void render(const PermissionsSetupContent& content) = 0;
    /// Brings the window to the front and activates the application.
    virtual void present() = 0;
    /// Takes the window off screen (it is kept for the next time).
    virtual void hide() = 0;
};

}  // namespace veska
