// Reading the selection of any application, and inserting text into its focused field.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/desktop/DesktopServices.h"
#include "core/desktop/TextSource.h"
#include "runtime/AsyncMutex.h"
#include "runtime/Task.h"

namespace veska {

/// What one selection lookup met beyond the selection limit. Each lookup has its own record,
/// so lookups running at the same time never see each other's.
class Oversized {
public:
    /// A selection longer than the limit was met.
    bool seen = false;
    /// The first over-long text met, kept for the caller.
    std::optional<std::string> text{};
    /// The lookup could not look because a permission is missing.
    bool blind = false;

    /// Notes an over-long selection; only the first one's text is kept.
    void note(const std::string& overLong) {
        seen = true;
        if (!text) text = overLong;
    }
};

/// A selection found by a lookup.
struct SelectionHit {
    std::string text;
    TextSource source = TextSource::selection;

    friend bool operator==(const SelectionHit&, const SelectionHit&) = default;
};

/// The outcome of a full lookup. `oversized` and `blind` are false whenever `hit` is present.
struct SelectionLookup {
    std::optional<SelectionHit> hit{};
    bool oversized = false;
    bool blind = false;

    friend bool operator==(const SelectionLookup&, const SelectionLookup&) = default;
};

/// The outcome of an accessibility-only lookup. `cut`: the text is longer than the selection
/// limit, or is the part kept from an over-long selection; the caller shortens it.
struct AXOnlySelection {
    std::optional<std::string> text{};
    bool cut = false;
    bool oversized = false;
    bool blind = false;

    friend bool operator==(const AXOnlySelection&, const AXOnlySelection&) = default;
};

/// The rich forms of a copied selection, handed out once.
struct RichForms {
    std::optional<std::string> html{};
    std::optional<std::string> rtf{};

    friend bool operator==(const RichForms&, const RichForms&) = default;
};

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

    // ---- Read side -----------------------------------------------------------------------

    /// The selection limit: user-perceived characters for texts, UTF-16 units for ranges.
    static constexpr std::int64_t kSelectionLimit = 15000;

    /// The selected text of the focused application: accessibility first, then a Command+C
    /// copy that gives the user's clipboard back. Runs on `services.lookups`; resumes the
    /// caller on its own executor.
    rt::Task<SelectionLookup> lookupSelectionAsync();
    /// Accessibility only: never touches the pasteboard nor posts keys.
    rt::Task<AXOnlySelection> selectedTextAXOnlyAsync();
    /// The HTML or RTF of the last copied selection if its plain text is `text`; each copy's
    /// forms are handed out once.
    std::optional<RichForms> takeRich(const std::string& text);

    [[nodiscard]] const DesktopServices& services() const { return services_; }

private:
    struct RichCopy {
        std::string plain;
        std::optional<std::string> html;
        std::optional<std::string> rtf;
    };

    // Insert side.
    /// Key-ups of the modifiers a user may still hold; false when they could not be posted.
    bool postModifierReleases();
    rt::Task<void> keyboardPaste(bool longTimings);

    // Read side: the accessibility search (each step notes over-long texts in `record`).
    ports::AXElement focusedElement();
    std::optional<std::string> axString(ports::AXElement element, ports::AXAttribute attribute);
    std::optional<std::string> selectedViaRange(ports::AXElement element, Oversized& record);
    std::optional<std::string> compactSelection(ports::AXElement element, Oversized& record);
    std::optional<std::string> bfsSelection(ports::AXElement root, int maxNodes, int maxDepth, Oversized& record);
    std::optional<std::string> findSelectedText(ports::AXElement element, Oversized& record);
    /// The focused element of the frontmost application, asked with the look-up time-out.
    ports::AXElement frontmostFocusedElement();
    rt::Task<SelectionLookup> lookupOnQueue();
    rt::Task<AXOnlySelection> axOnlyOnQueue();
    rt::Task<std::optional<std::string>> resolveSelectedInField(std::shared_ptr<Oversized> record);
    rt::Task<std::optional<std::string>> copySelectionViaCommandC(std::shared_ptr<Oversized> record);
    AXOnlySelection selectedTextAXOnly(Oversized& record);
    void keepRich(std::optional<RichCopy> copy);

    DesktopServices services_;
    std::atomic<bool> didPromptInputMonitoring_ = false;
    /// Held for the whole of a Command+C copy, so that two copies never interleave.
    rt::AsyncMutex copyLock_;
    std::mutex richLock_;
    std::optional<RichCopy> lastRich_;  // guarded by richLock_
};

}  // namespace veska
