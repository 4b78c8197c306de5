// One simulated accessibility element: its role, text, selection, settable attributes, faults.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ports/Accessibility.h"

namespace veska::sim {

/// An injected failure of one attribute: the error the call reports, whether the application
/// stalls first (the caller blocks for its messaging time-out, then `cannotComplete`), and for
/// writes whether the change happens all the same.
struct SimFault {
    ports::AXError error = ports::AXError::failure;
    bool stalls = false;
    bool appliedAnyway = false;
};

/// How to make an element. Text elements (a `text` is given) expose value, selection and
/// ranges; editable ones take keys and writes.
struct SimElementSpec {
    std::string role{ports::roles::kGroup};
    std::string title{};
    std::optional<std::string> text{};
    /// UTF-16 units; the caret at the end of the text when absent.
    std::optional<ports::TextRange> selection{};
    /// Default: true for the text-entry roles.
    std::optional<bool> editable{};
    /// Default for editable elements: value, selected text, selected text range, focused.
    std::optional<std::vector<ports::AXAttribute>> settable{};
    /// The rich forms of the selection that Command+C puts beside the plain text.
    std::optional<std::string> html{};
    std::optional<std::string> rtf{};
};

/// The state of one element. Plain data plus the text edits keys make.
struct SimElement {
    std::uint64_t id = 0;
    std::int32_t pid = 0;
    std::string role;
    std::string title;
    bool hasText = false;
    bool editable = false;
    std::u16string text;
    ports::TextRange selection;
    std::set<ports::AXAttribute> settable;
    std::optional<std::string> html;
    std::optional<std::string> rtf;
    /// The parent element; the application element for a window, 0 for an application.
    std::uint64_t parent = 0;
    std::vector<std::uint64_t> children;

    std::map<ports::AXAttribute, SimFault> readFaults;
    std::map<ports::AXAttribute, SimFault> writeFaults;
    std::map<ports::AXAttribute, SimFault> settableFaults;
    std::map<ports::AXParameterizedAttribute, SimFault> parameterizedFaults;
    /// Values the application reports instead of its state (of any type, even a wrong one).
    std::map<ports::AXAttribute, ports::AXValue> overrides;
    /// Longest range "string for range" answers; longer ones fail.
    std::optional<std::int64_t> maxStringForRange;
    std::optional<ports::TextRange> visibleRange;
    /// Messaging time-out set on this element; 0 means the desktop's default.
    double timeoutSeconds = 0;

    [[nodiscard]] std::string textUtf8() const;
    [[nodiscard]] std::string selectedTextUtf8() const;
    /// Whether `range` lies within the text.
    [[nodiscard]] bool validRange(const ports::TextRange& range) const;
    /// Replaces the selection with `inserted`; the caret ends after it.
    void replaceSelection(const std::u16string& inserted);
    /// Backspace: removes the selection, else what lies between `from(caret)` and the caret.
    enum class DeleteUnit { cluster, word, line };
    void deleteBackward(DeleteUnit unit);
    void setText(const std::u16string& newText);
};

/// True for roles that take typed text.
bool isTextEntryRole(const std::string& role);

}  // namespace veska::sim
