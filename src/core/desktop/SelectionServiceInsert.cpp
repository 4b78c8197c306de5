// Inserting a finished text into another application: accessibility or a keyboard paste.
#include "core/desktop/SelectionService.h"

#include <array>
#include <string_view>

#include "runtime/Sleep.h"
#include "text/Ascii.h"

namespace veska {

namespace {

using ports::AXAttribute;

constexpr double kActivationWaitSeconds = 0.2;
constexpr double kModifierReleaseWaitSeconds = 0.03;
constexpr double kInsertTimeoutSeconds = 0.5;

/// Before the paste and after it, for apps that paste (long) or whose field refused the text.
struct PasteTimings {
    double preDelaySeconds;
    double afterPasteSeconds;
};
constexpr PasteTimings kLongTimings{0.08, 0.18};
constexpr PasteTimings kShortTimings{0.03, 0.12};
constexpr double kAfterAutomationSeconds = 0.08;

/// Terminals, browsers, code editors and web-technology desktop applications, whose fields
/// take text reliably only by paste.
constexpr std::array<std::string_view, 26> kPasteWords{
    "iterm", "warp",  "alacritty", "kitty", "wezterm",  "ghostty", "hyper", "cmux",   "tabby",
    "rio",   "safari", "chrome",   "firefox", "edge",   "brave",   "arc",   "chromium", "code",
    "cursor", "vscode", "electron", "slack",  "discord", "notion",  "figma", "zed",
};

constexpr std::string_view kElectronFramework = "/Contents/Frameworks/Electron Framework.framework";

}  // namespace

bool SelectionService::prefersKeyboardPaste(std::int32_t pid) const {
    const std::optional<ports::RunningApp> app = services_.workspace.application(pid);
    const std::string identifier = app ? text::asciiLowered(app->bundleIdentifier) : std::string();
    if (identifier.empty() || identifier == "com.apple.terminal" || identifier.starts_with("com.googlecode.iterm2")) {
        return true;
    }
    for (std::string_view word : kPasteWords) {
        if (identifier.find(word) != std::string::npos) return true;
    }
    if (!app || app->bundlePath.empty()) return false;
    return services_.workspace.fileExists(app->bundlePath + std::string(kElectronFramework));
}

bool SelectionService::insertViaAX(const std::string& text, std::int32_t pid) {
    ports::Accessibility& ax = services_.accessibility;
    const ports::AXElement app = ax.application(pid);
    ax.setMessagingTimeout(app, kInsertTimeoutSeconds);
    auto focused = ax.elementAttribute(app, AXAttribute::focusedUIElement);
    if (!focused || !*focused) return false;
    const ports::AXElement element = *focused;
    ax.setMessagingTimeout(element, kInsertTimeoutSeconds);
    if (!isEditableTextControl(element)) return false;
    // An app that cannot answer the question may still take the text; a clear "no" is final.
    auto settable = ax.isAttributeSettable(element, AXAttribute::selectedText);
    if (settable && !*settable) return false;
    (void)ax.setAttribute(element, AXAttribute::focused, true);
    return ax.setAttribute(element, AXAttribute::selectedText, text) == ports::AXError::success;
}

rt::Task<void> SelectionService::keyboardPaste(bool longTimings) {
    const PasteTimings timings = longTimings ? kLongTimings : kShortTimings;
    if (hasInputMonitoring()) {
        co_await rt::sleepFor(timings.preDelaySeconds);
        (void)postCommandC(ports::keys::kV);
        co_await rt::sleepFor(timings.afterPasteSeconds);
        co_return;
    }
    // The settings page opens at most once per run, however many insertions lack the permission.
    if (!didPromptInputMonitoring_.exchange(true)) requestInputMonitoring();
    co_await rt::sleepFor(timings.preDelaySeconds);
    (void)pasteViaSystemEvents();
    co_await rt::sleepFor(kAfterAutomationSeconds);
}

rt::Task<bool> SelectionService::insertText(std::string text, std::optional<ports::RunningApp> app) {
    if (text.empty()) co_return false;
    (void)services_.accessibility.isProcessTrusted(true);
    ports::Pasteboard& pasteboard = services_.pasteboard;
    pasteboard.clear();
    pasteboard.write({.plainText = text});

    // The snapshot the caller holds may be old: whether the app has quit is asked now.
    std::optional<ports::RunningApp> target;
    if (app) target = services_.workspace.application(app->pid);
    if (!target || target->terminated) target = services_.workspace.frontmostApplication();
    const std::int32_t pid = target ? target->pid : 0;

    if (target && !target->terminated) {
        const std::optional<ports::RunningApp> front = services_.workspace.frontmostApplication();
        if (!front || front->pid != pid) {
            services_.workspace.activate(pid);
            co_await rt::sleepFor(kActivationWaitSeconds);
        }
    }
    if (postModifierReleases()) co_await rt::sleepFor(kModifierReleaseWaitSeconds);

    if (!target || prefersKeyboardPaste(pid)) {
        co_await keyboardPaste(true);
    } else if (pid < 1 || !insertViaAX(text, pid)) {
        co_await keyboardPaste(false);
    }

    // After every route the pasteboard holds the inserted text.
    pasteboard.clear();
    pasteboard.write({.plainText = text});
    co_return true;
}

}  // namespace veska
