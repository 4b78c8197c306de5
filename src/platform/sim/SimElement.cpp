// Text edits of a simulated element.
#include "platform/sim/SimElement.h"

#include <algorithm>

#include "platform/sim/SimText.h"
#include "text/Utf.h"

namespace veska::sim {

bool isTextEntryRole(const std::string& role) {
    using namespace ports::roles;
    return role == kTextField || role == kTextArea || role == kTextView || role == kComboBox || role == kSearchField;
}

std::string SimElement::textUtf8() const { return text::toUtf8(text); }

std::string SimElement::selectedTextUtf8() const {
    if (!validRange(selection)) return {};
    return text::toUtf8(std::u16string_view(text).substr(static_cast<std::size_t>(selection.location),
                                                   static_cast<std::size_t>(selection.length)));
}

bool SimElement::validRange(const ports::TextRange& range) const {
    const auto size = static_cast<std::int64_t>(text.size());
    return range.location >= 0 && range.length >= 0 && range.location <= size && range.length <= size - range.location;
}

void SimElement::replaceSelection(const std::u16string& inserted) {
    if (!validRange(selection)) selection = {static_cast<std::int64_t>(text.size()), 0};
    const auto at = static_cast<std::size_t>(selection.location);
    text.replace(at, static_cast<std::size_t>(selection.length), inserted);
    selection = {static_cast<std::int64_t>(at + inserted.size()), 0};
}

void SimElement::deleteBackward(DeleteUnit unit) {
    if (!validRange(selection)) selection = {static_cast<std::int64_t>(text.size()), 0};
    if (selection.length > 0) {
        replaceSelection(u"");
        return;
    }
    const auto caret = static_cast<std::size_t>(selection.location);
    std::size_t from = caret;
    switch (unit) {
    case DeleteUnit::cluster:
        from = previousClusterStart(text, caret);
        break;
    case DeleteUnit::word:
        from = previousWordStart(text, caret);
        break;
    case DeleteUnit::line:
        from = lineStart(text, caret);
        break;
    }
    text.erase(from, caret - from);
    selection = {static_cast<std::int64_t>(from), 0};
}

void SimElement::setText(const std::u16string& newText) {
    text = newText;
    selection = {static_cast<std::int64_t>(text.size()), 0};
}

}  // namespace veska::sim
