// Text-entry controls and replacing ranges of their text through accessibility.
#include "core/desktop/SelectionService.h"

#include <array>
#include <string_view>

#include "text/Utf.h"

namespace veska {

namespace {

using ports::AXAttribute;
using ports::AXElement;
using ports::TextRange;

constexpr double kReplaceTimeoutSeconds = 0.3;

constexpr std::array<std::string_view, 5> kTextEntryRoles{ports::roles::kTextField, ports::roles::kTextArea,
                                                          ports::roles::kTextView, ports::roles::kComboBox,
                                                          ports::roles::kSearchField};

}  // namespace

bool SelectionService::isEditableTextControl(AXElement element) {
    auto role = services_.accessibility.stringAttribute(element, AXAttribute::role);
    if (!role) return false;
    for (std::string_view entry : kTextEntryRoles) {
        if (*role == entry) return true;
    }
    return false;
}

std::optional<std::string> SelectionService::axString(AXElement element, TextRange range) {
    ports::Accessibility& ax = services_.accessibility;
    auto asked = ax.parameterizedAttribute(element, ports::AXParameterizedAttribute::stringForRange, range);
    if (asked) {
        if (const auto* text = std::get_if<std::string>(&*asked)) return *text;
    }
    auto value = ax.stringAttribute(element, AXAttribute::value);
    if (!value) return std::nullopt;
    const std::u16string units = text::toUtf16(*value);
    const auto size = static_cast<std::int64_t>(units.size());
    // Compared without adding, so that absurd ranges cannot overflow.
    if (range.location < 0 || range.length < 0 || range.location > size || range.length > size - range.location) {
        return std::nullopt;
    }
    return text::toUtf8(std::u16string_view(units).substr(static_cast<std::size_t>(range.location),
                                                                     static_cast<std::size_t>(range.length)));
}

bool SelectionService::setAXRangeText(AXElement element, TextRange range, const std::string& text) {
    ports::Accessibility& ax = services_.accessibility;
    if (ax.setAttribute(element, AXAttribute::selectedTextRange, range) != ports::AXError::success) return false;
    return ax.setAttribute(element, AXAttribute::selectedText, text) == ports::AXError::success;
}

bool SelectionService::replaceBeforeCaretViaAX(const std::string& deleted, const std::string& insert,
                                               std::int32_t pid) {
    ports::Accessibility& ax = services_.accessibility;
    const AXElement app = ax.application(pid);
    ax.setMessagingTimeout(app, kReplaceTimeoutSeconds);
    auto focused = ax.elementAttribute(app, AXAttribute::focusedUIElement);
    if (!focused || !*focused) return false;
    const AXElement element = *focused;
    ax.setMessagingTimeout(element, kReplaceTimeoutSeconds);
    if (!isEditableTextControl(element)) return false;
    auto settable = ax.isAttributeSettable(element, AXAttribute::selectedText);
    if (!settable || !*settable) return false;
    auto selection = ax.rangeAttribute(element, AXAttribute::selectedTextRange);
    if (!selection) return false;
    const std::int64_t n = text::utf16Length(deleted);
    TextRange range = *selection;
    if (n >= 1) {
        if (selection->length != 0 || selection->location < n) return false;
        range = {selection->location - n, n};
        if (axString(element, range) != deleted) return false;
    }
    return setAXRangeText(element, range, insert);
}

}  // namespace veska
