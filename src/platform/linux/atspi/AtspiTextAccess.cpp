// Text, selection and lines over the AT-SPI Text and EditableText interfaces, in UTF-16 units.
#include <algorithm>
#include <cctype>
#include <string>

#include "platform/linux/atspi/AtspiAccessibility.h"

namespace veska::platform {

using ports::AXAttribute;
using ports::AXError;
using ports::AXParameterizedAttribute;
using ports::AXResult;
using ports::AXValue;
using ports::TextRange;
using namespace atspi_calls;

namespace {

tl::unexpected<AXError> fail(AXError error) {
    return tl::make_unexpected(error);
}

struct CharRange {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

AXResult<std::int64_t> characterCount(AtspiText* text) {
    Error error;
    const gint count = atspi_text_get_character_count(text, &error.slot);
    if (error) return fail(errorOf(error.slot));
    if (count < 0) return fail(AXError::failure);
    return count;
}

/// The selection in characters, or the caret as an empty selection.
AXResult<CharRange> selectionOf(AtspiText* text, std::int64_t count) {
    Error error;
    const gint selections = atspi_text_get_n_selections(text, &error.slot);
    if (error) return fail(errorOf(error.slot));
    if (selections > 0) {
        Error rangeError;
        AtspiRange* range = atspi_text_get_selection(text, 0, &rangeError.slot);
        if (rangeError) {
            g_free(range);
            return fail(errorOf(rangeError.slot));
        }
        if (range != nullptr) {
            CharRange r{std::min(range->start_offset, range->end_offset),
                        std::max(range->start_offset, range->end_offset)};
            g_free(range);
            r.start = std::clamp<std::int64_t>(r.start, 0, count);
            r.end = std::clamp<std::int64_t>(r.end, r.start, count);
            if (r.end > r.start) return r;
        }
    }
    Error caretError;
    const gint caret = atspi_text_get_caret_offset(text, &caretError.slot);
    if (caretError) return fail(errorOf(caretError.slot));
    if (caret < 0) return fail(AXError::noValue);
    const std::int64_t at = std::min<std::int64_t>(caret, count);
    return CharRange{at, at};
}

/// The characters of a UTF-16 range; none when it leaves the text or splits a character.
std::optional<CharRange> charactersOf(const TextOffsets& offsets, TextRange range) {
    if (range.location < 0 || range.length < 0 || range.location > offsets.utf16Length() ||
        range.length > offsets.utf16Length() - range.location) {
        return std::nullopt;
    }
    auto start = offsets.offsetAt(range.location);
    auto end = offsets.offsetAt(range.location + range.length);
    if (!start || !end) return std::nullopt;
    return CharRange{*start, *end};
}

/// Characters to read to cover UTF-16 offset `units` (a character is one or two units).
std::int64_t charactersCovering(std::int64_t units, std::int64_t count) {
    return units < 0 ? 0 : std::min(units, count);
}

bool isQt(AtspiAccessible* object) {
    std::string toolkit;
    {
        Error error;
        OwnedString name(atspi_accessible_get_toolkit_name(object, &error.slot));
        toolkit = name.str();
    }
    if (toolkit.empty()) {
        // Qt answers the toolkit's name on the application's element only; libatspi then
        // remembers it for every element of the application.
        Error appError;
        Ref<AtspiAccessible> app = adopt(atspi_accessible_get_application(object, &appError.slot));
        Error error;
        OwnedString name(app ? atspi_accessible_get_toolkit_name(app.get(), &error.slot) : nullptr);
        toolkit = name.str();
    }
    return toolkit.size() >= 2 && std::tolower(static_cast<unsigned char>(toolkit[0])) == 'q' &&
           std::tolower(static_cast<unsigned char>(toolkit[1])) == 't';
}

void freeTextRange(AtspiTextRange* range) {
    g_free(range->content);
    g_free(range);
}

/// The line holding character `offset`, as [start, end) with its line break.
AXResult<CharRange> lineAt(AtspiText* text, std::int64_t offset) {
    Error error;
    AtspiTextRange* line = atspi_text_get_string_at_offset(text, static_cast<gint>(offset),
                                                           ATSPI_TEXT_GRANULARITY_LINE, &error.slot);
    if (error || line == nullptr) {
        // Toolkits without the newer call answer the older one.
        Error older;
        if (line != nullptr) freeTextRange(line);
        line = atspi_text_get_text_at_offset(text, static_cast<gint>(offset), ATSPI_TEXT_BOUNDARY_LINE_START,
                                             &older.slot);
        if (older || line == nullptr) {
            if (line != nullptr) freeTextRange(line);
            return fail(older ? errorOf(older.slot) : errorOf(error.slot));
        }
    }
    const CharRange range{line->start_offset, line->end_offset};
    freeTextRange(line);
    return range;
}

}  // namespace

AXResult<TextOffsets> AtspiAccessibility::textPrefix(AtspiAccessible* object, AtspiText* text,
                                                     std::int64_t offset) {
    if (offset > kMaxTextCharacters) return fail(AXError::failure);
    Error error;
    OwnedString got(atspi_text_get_text(text, 0, static_cast<gint>(offset), &error.slot));
    if (error) return fail(errorOf(error.slot));
    return TextOffsets(got.str(), isQt(object) ? OffsetUnit::utf16 : OffsetUnit::characters);
}

AXResult<AXValue> AtspiAccessibility::readText(AtspiAccessible* object, AXAttribute attribute) {
    Ref<AtspiText> text = adopt(atspi_accessible_get_text_iface(object));
    if (!text) {
        const AXError gone = probe(object);
        if (gone != AXError::success) return fail(gone);
        return fail(attribute == AXAttribute::value ? AXError::noValue : AXError::attributeUnsupported);
    }
    auto count = characterCount(text.get());
    if (!count) return fail(count.error());
    switch (attribute) {
        case AXAttribute::value:
        case AXAttribute::numberOfCharacters: {
            auto all = textPrefix(object, text.get(), *count);
            if (!all) return fail(all.error());
            if (attribute == AXAttribute::value) return AXValue{all->text()};
            return AXValue{all->utf16Length()};
        }
        case AXAttribute::selectedText:
        case AXAttribute::selectedTextRange: {
            auto selection = selectionOf(text.get(), *count);
            if (!selection) return fail(selection.error());
            auto prefix = textPrefix(object, text.get(), selection->end);
            if (!prefix) return fail(prefix.error());
            if (attribute == AXAttribute::selectedText)
                return AXValue{prefix->slice(selection->start, selection->end)};
            const std::int64_t start = prefix->utf16At(selection->start);
            return AXValue{TextRange{start, prefix->utf16At(selection->end) - start}};
        }
        case AXAttribute::visibleCharacterRange:
            return visibleRange(object, text.get(), *count);
        default:
            return fail(AXError::attributeUnsupported);
    }
}

AXResult<AXValue> AtspiAccessibility::visibleRange(AtspiAccessible* object, AtspiText* text,
                                                   std::int64_t count) {
    CharRange visible{0, count};
    Ref<AtspiComponent> component = adopt(atspi_accessible_get_component_iface(object));
    if (component) {
        Error error;
        AtspiRect* box = atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_WINDOW, &error.slot);
        if (!error && box != nullptr && box->width > 0 && box->height > 0) {
            Error first;
            Error last;
            const gint from = atspi_text_get_offset_at_point(text, box->x + 1, box->y + 1,
                                                             ATSPI_COORD_TYPE_WINDOW, &first.slot);
            const gint to = atspi_text_get_offset_at_point(
                text, box->x + box->width - 2, box->y + box->height - 2, ATSPI_COORD_TYPE_WINDOW, &last.slot);
            if (!first && from >= 0) visible.start = std::min<std::int64_t>(from, count);
            // The character under the bottom-right corner is the last one shown.
            if (!last && to >= 0) visible.end = std::min<std::int64_t>(to + 1, count);
            if (visible.end < visible.start) visible = {0, count};
        }
        g_free(box);
    }
    auto prefix = textPrefix(object, text, visible.end);
    if (!prefix) return fail(prefix.error());
    const std::int64_t start = prefix->utf16At(visible.start);
    return AXValue{TextRange{start, prefix->utf16At(visible.end) - start}};
}

AXResult<AXValue> AtspiAccessibility::stringForRange(AtspiAccessible* object, AtspiText* text,
                                                     const AXValue& parameter) {
    const auto* range = std::get_if<TextRange>(&parameter);
    if (range == nullptr || range->location < 0 || range->length < 0) return fail(AXError::illegalArgument);
    auto count = characterCount(text);
    if (!count) return fail(count.error());
    const std::int64_t end = range->length > *count ? *count + 1 : range->location + range->length;
    auto prefix = textPrefix(object, text, charactersCovering(end, *count));
    if (!prefix) return fail(prefix.error());
    auto chars = charactersOf(*prefix, *range);
    if (!chars) return fail(AXError::illegalArgument);
    return AXValue{prefix->slice(chars->start, chars->end)};
}

AXResult<AXValue> AtspiAccessibility::lineQuery(AtspiAccessible* object, AtspiText* text,
                                                AXParameterizedAttribute attribute,
                                                const AXValue& parameter) {
    const auto* number = std::get_if<std::int64_t>(&parameter);
    if (number == nullptr || *number < 0) return fail(AXError::illegalArgument);
    auto count = characterCount(text);
    if (!count) return fail(count.error());
    auto all = textPrefix(object, text, *count);
    if (!all) return fail(all.error());
    std::int64_t wanted = -1;
    if (attribute == AXParameterizedAttribute::lineForIndex) {
        auto at = all->offsetAt(*number);
        if (!at) return fail(AXError::illegalArgument);
        wanted = *at;
    }
    std::int64_t offset = 0;
    for (std::int64_t line = 0; line < kMaxLines; ++line) {
        auto range = lineAt(text, offset);
        if (!range) return fail(range.error());
        // A line that starts before the offset asked for was counted already: no more lines.
        if (range->start < offset || range->end < range->start) return fail(AXError::illegalArgument);
        if (attribute == AXParameterizedAttribute::rangeForLine && line == *number) {
            const std::int64_t start = all->utf16At(range->start);
            return AXValue{TextRange{start, all->utf16At(range->end) - start}};
        }
        const bool last = range->end <= offset || range->end >= *count;
        if (attribute == AXParameterizedAttribute::lineForIndex) {
            if (wanted < range->end) return AXValue{line};
            // The end of a text that finishes with a line break is on the empty line after it.
            const bool trailingBreak = !all->text().empty() && all->text().back() == '\n';
            if (last) return AXValue{trailingBreak && range->end > range->start ? line + 1 : line};
        }
        if (range->end <= offset) return fail(AXError::illegalArgument);
        offset = range->end;
    }
    return fail(AXError::failure);
}

AXError AtspiAccessibility::writeSelectedText(AtspiAccessible* object, const AXValue& value) {
    const auto* inserted = std::get_if<std::string>(&value);
    if (inserted == nullptr || !sendable(*inserted)) return AXError::illegalArgument;
    Ref<AtspiEditableText> editable = adopt(atspi_accessible_get_editable_text_iface(object));
    Ref<AtspiText> text = adopt(atspi_accessible_get_text_iface(object));
    if (!editable || !text) {
        const AXError gone = probe(object);
        return gone == AXError::success ? AXError::attributeUnsupported : gone;
    }
    auto count = characterCount(text.get());
    if (!count) return count.error();
    auto selection = selectionOf(text.get(), *count);
    if (!selection) return selection.error();
    if (selection->end > selection->start) {
        Error error;
        const gboolean deleted =
            atspi_editable_text_delete_text(editable.get(), static_cast<gint>(selection->start),
                                            static_cast<gint>(selection->end), &error.slot);
        if (error) return errorOf(error.slot);
        if (!deleted) return AXError::failure;
    }
    // GTK counts the inserted length in bytes and offsets in characters, Qt both in UTF-16 units.
    const bool qt = isQt(object);
    if (!inserted->empty()) {
        const std::int64_t length = qt ? utf16Units(*inserted) : static_cast<std::int64_t>(inserted->size());
        Error error;
        const gboolean done =
            atspi_editable_text_insert_text(editable.get(), static_cast<gint>(selection->start),
                                            inserted->c_str(), static_cast<gint>(length), &error.slot);
        if (error) return errorOf(error.slot);
        if (!done) return AXError::failure;
    }
    const std::int64_t advance = qt ? utf16Units(*inserted)
                                    : static_cast<std::int64_t>(g_utf8_strlen(
                                          inserted->data(), static_cast<gssize>(inserted->size())));
    Error caretError;
    (void)atspi_text_set_caret_offset(text.get(), static_cast<gint>(selection->start + advance),
                                      &caretError.slot);
    return AXError::success;
}

AXError AtspiAccessibility::writeSelectedRange(AtspiAccessible* object, const AXValue& value) {
    const auto* range = std::get_if<TextRange>(&value);
    if (range == nullptr || range->location < 0 || range->length < 0) return AXError::illegalArgument;
    Ref<AtspiText> text = adopt(atspi_accessible_get_text_iface(object));
    if (!text) {
        const AXError gone = probe(object);
        return gone == AXError::success ? AXError::attributeUnsupported : gone;
    }
    auto count = characterCount(text.get());
    if (!count) return count.error();
    const std::int64_t end = range->length > *count ? *count + 1 : range->location + range->length;
    auto prefix = textPrefix(object, text.get(), charactersCovering(end, *count));
    if (!prefix) return prefix.error();
    auto chars = charactersOf(*prefix, *range);
    if (!chars) return AXError::illegalArgument;
    Error error;
    gboolean done = FALSE;
    if (chars->end == chars->start) {
        done = atspi_text_set_caret_offset(text.get(), static_cast<gint>(chars->start), &error.slot);
    } else {
        Error countError;
        const gint selections = atspi_text_get_n_selections(text.get(), &countError.slot);
        done = selections > 0 ? atspi_text_set_selection(text.get(), 0, static_cast<gint>(chars->start),
                                                         static_cast<gint>(chars->end), &error.slot)
                              : atspi_text_add_selection(text.get(), static_cast<gint>(chars->start),
                                                         static_cast<gint>(chars->end), &error.slot);
    }
    if (error) return errorOf(error.slot);
    return done ? AXError::success : AXError::failure;
}

AXError AtspiAccessibility::writeValue(AtspiAccessible* object, const AXValue& value) {
    const auto* contents = std::get_if<std::string>(&value);
    if (contents == nullptr || !sendable(*contents)) return AXError::illegalArgument;
    Ref<AtspiEditableText> editable = adopt(atspi_accessible_get_editable_text_iface(object));
    if (!editable) {
        const AXError gone = probe(object);
        return gone == AXError::success ? AXError::attributeUnsupported : gone;
    }
    Error error;
    const gboolean done =
        atspi_editable_text_set_text_contents(editable.get(), contents->c_str(), &error.slot);
    if (error) return errorOf(error.slot);
    return done ? AXError::success : AXError::failure;
}

AXError AtspiAccessibility::writeFocused(AtspiAccessible* object, const AXValue& value) {
    const auto* on = std::get_if<bool>(&value);
    if (on == nullptr) return AXError::illegalArgument;
    Ref<AtspiComponent> component = adopt(atspi_accessible_get_component_iface(object));
    if (!component) {
        const AXError gone = probe(object);
        return gone == AXError::success ? AXError::attributeUnsupported : gone;
    }
    // Focus can be taken, not given away: another element has to take it.
    if (!*on) return AXError::failure;
    Error error;
    const gboolean done = atspi_component_grab_focus(component.get(), &error.slot);
    if (error) return errorOf(error.slot);
    return done ? AXError::success : AXError::failure;
}

}  // namespace veska::platform
