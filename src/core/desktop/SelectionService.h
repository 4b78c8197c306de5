// Reading the selection of any application, and inserting text into its focused field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/desktop/DesktopServices.h"
#include "runtime/Task.h"

namespace veska {

/// The accessibility, pasteboard and synthetic-key functions shared by every action that
/// reads or writes another application's text. One instance per process (it holds the
/// process-wide state: whether the input-monitoring page was opened this run, the rich forms
/// of the last copy and the copy lock). Insertion runs on the caller's executor (the main
/// one); look-ups run on `services.lookups`.
class SelectionService {
public:
    explicit SelectionService(DesktopServices services);
    SelectionService(const SelectionService&) = delete;
    SelectionService& operator=(const SelectionService&) = delete;

    // ---- Insert side -------------------------------------------------------------------

    /// Inserts `text` into the focused field of `app` (or of the frontmost application when
    /// `app` is absent or has quit). False only for an empty text. Waits (virtual time in
    /// tests) for the activation and paste delays.
    rt::Task<bool> insertText(std::string text, std::optional<ports::RunningApp> app);
    /// Whether text for this process must be pasted rather than set through accessibility.
    [[nodiscard]] bool prefersKeyboardPaste(std::int32_t pid) const;
    /// Whether Veska may post and watch keyboard events; probed on every call.
    bool hasInputMonitoring();
    /// Opens the settings page for input monitoring.
    void requestInputMonitoring();
    /// Whether an accessibility element is a text-entry control.
    bool isEditableTextControl(ports::AXElement element);

    // Used by the live typer and the read side.
    bool insertViaAX(const std::string& text, std::int32_t pid);
    /// Replaces `deleted`, standing immediately before the caret, with `insert`, through
    /// accessibility only; false when that route cannot be used or the text does not match.
    bool replaceBeforeCaretViaAX(const std::string& deleted, const std::string& insert, std::int32_t pid);
    /// The text of `range` (UTF-16 units) of the element.
    std::optional<std::string> axString(ports::AXElement element, ports::TextRange range);
    bool setAXRangeText(ports::AXElement element, ports::TextRange range, const std::string& text);
    /// Posts Command + `keyCode` (8: copy, 9: paste); nothing is posted if any event fails.
    bool postCommandC(ports::KeyCode keyCode);
    /// The paste chord through the automation route used when keys cannot be posted.
    bool pasteViaSystemEvents();
    /// Posts key-ups of both Controls, both Options and both Shifts.
    void releaseStuckModifiers();

    [[nodiscard]] const DesktopServices& services() const { return services_; }

private:
    DesktopServices services_;
    bool didPromptInputMonitoring_ = false;
};

}  // namespace veska
