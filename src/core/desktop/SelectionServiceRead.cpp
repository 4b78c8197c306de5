// The selection look-ups: accessibility first, a Command+C copy last; the copy's rich forms.
#include "core/desktop/SelectionService.h"

#include <array>
#include <utility>

#include "runtime/RunOn.h"
#include "runtime/Sleep.h"
#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska {

namespace {

constexpr double kLookupTimeoutSeconds = 0.25;

}  // namespace

rt::Task<SelectionLookup> SelectionService::lookupSelectionAsync() {
    SelectionLookup result = co_await rt::runOn(services_.lookups, lookupOnQueue());
    co_return result;
}

rt::Task<SelectionLookup> SelectionService::lookupOnQueue() {
    auto record = std::make_shared<Oversized>();
    std::optional<std::string> text = co_await resolveSelectedInField(record);
    SelectionLookup result;
    if (text) {
        result.hit = SelectionHit{std::move(*text), TextSource::selection};
    } else {
        result.oversized = record->seen;
        result.blind = record->blind;
    }
    co_return result;
}

rt::Task<std::optional<std::string>> SelectionService::resolveSelectedInField(std::shared_ptr<Oversized> record) {
    ports::Accessibility& ax = services_.accessibility;
    if (!ax.isProcessTrusted(false)) {
        record->blind = true;
        co_return std::nullopt;
    }
    if (const ports::AXElement focused = focusedElement()) {
        ax.setMessagingTimeout(focused, kLookupTimeoutSeconds);
        if (auto found = findSelectedText(focused, *record)) co_return found;
    }
    if (!services_.workspace.frontmostApplication()) co_return std::nullopt;
    if (const ports::AXElement focused = frontmostFocusedElement()) {
        if (auto found = findSelectedText(focused, *record)) co_return found;
    }
    std::optional<std::string> copied = co_await copySelectionViaCommandC(record);
    co_return copied;
}

rt::Task<AXOnlySelection> SelectionService::selectedTextAXOnlyAsync() {
    AXOnlySelection result = co_await rt::runOn(services_.lookups, axOnlyOnQueue());
    co_return result;
}

rt::Task<AXOnlySelection> SelectionService::axOnlyOnQueue() {
    Oversized record;
    co_return selectedTextAXOnly(record);
}

AXOnlySelection SelectionService::selectedTextAXOnly(Oversized& record) {
    ports::Accessibility& ax = services_.accessibility;
    if (!ax.isProcessTrusted(false)) return {.text = std::nullopt, .cut = false, .oversized = false, .blind = true};
    std::array<ports::AXElement, 2> candidates{focusedElement(), frontmostFocusedElement()};

    std::optional<std::string> found;
    for (ports::AXElement candidate : candidates) {
        if (!candidate) continue;
        ax.setMessagingTimeout(candidate, kLookupTimeoutSeconds);
        found = findSelectedText(candidate, record);
        if (found) break;
    }
    if (!found) {
        // The field's own selected text, however long: the caller shortens it.
        for (ports::AXElement candidate : candidates) {
            if (!candidate) continue;
            std::optional<std::string> selected = axString(candidate, ports::AXAttribute::selectedText);
            if (selected && !text::isBlank(*selected)) {
                found = std::move(selected);
                break;
            }
        }
    }
    bool isLong = false;
    if (found) {
        isLong = text::longerThan(*found, kSelectionLimit);
    } else if (record.text) {
        found = record.text;
        isLong = true;
    }
    const std::string_view kept = found ? text::trimmed(*found) : std::string_view();
    AXOnlySelection result;
    if (!kept.empty()) result.text = std::string(kept);
    result.cut = isLong && !kept.empty();
    result.oversized = kept.empty() && record.seen;
    return result;
}

std::optional<RichForms> SelectionService::takeRich(const std::string& text) {
    std::lock_guard lock(richLock_);
    if (!lastRich_ || lastRich_->plain != text) return std::nullopt;
    if (!lastRich_->html && !lastRich_->rtf) return std::nullopt;
    RichForms forms{.html = std::move(lastRich_->html), .rtf = std::move(lastRich_->rtf)};
    lastRich_.reset();
    return forms;
}

void SelectionService::keepRich(std::optional<RichCopy> copy) {
    std::lock_guard lock(richLock_);
    lastRich_ = std::move(copy);
}

}  // namespace veska
