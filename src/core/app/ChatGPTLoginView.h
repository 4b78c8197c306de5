// The ChatGPT sign-in window as the platform draws it: a web view on the shared web profile
// above a bar with a note, a progress bar, a help line and a cancel button.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace veska {

/// What the window shows besides its page.
struct ChatGPTLoginContent {
    std::string title;      ///< "Veska · ChatGPT"
    std::string note;       ///< the note about the session, in 11-point secondary text
    std::string cancel;     ///< the cancel button's label
    std::string userAgent;  ///< the web view's user agent
};

/// The window of `ChatGPTLoginWindowController`: built on first use (920 × 700, titled,
/// closable, miniaturisable, resizable, centred; its web view 920 × 640 on the shared profile)
/// and discarded when closed. Main executor; every callback is called there.
class ChatGPTLoginView {
public:
    virtual ~ChatGPTLoginView() = default;

    /// The cancel button was pressed.
    std::function<void()> onCancelButton;
    /// The user closed the window; it is already being discarded.
    std::function<void()> onClosedByUser;

    /// Whether the window and its web view exist.
    [[nodiscard]] virtual bool exists() const = 0;
    virtual void create(const ChatGPTLoginContent& content) = 0;
    /// The help line under the progress bar; nothing hides it.
    virtual void setHelp(const std::optional<std::string>& text) = 0;
    /// Whether the indeterminate progress bar runs.
    virtual void setProgressRunning(bool running) = 0;
    /// Brings the window to the front and activates the application.
    virtual void bringToFront() = 0;
    virtual void load(const std::string& url, double timeoutSeconds) = 0;
    /// Takes the window off screen and discards it with its web view.
    virtual void dismiss() = 0;
};

}  // namespace veska
