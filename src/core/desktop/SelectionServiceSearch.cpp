// Finding the selection through accessibility: the focused element, its ancestors, and a
// bounded breadth-first search below them.
#include "core/desktop/SelectionService.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "text/Characters.h"
#include "text/WhiteSpace.h"

namespace veska {

namespace {

using ports::AXAttribute;
using ports::AXElement;

constexpr double kSystemWideTimeoutSeconds = 0.35;
constexpr double kSearchTimeoutSeconds = 0.2;
constexpr double kLookupTimeoutSeconds = 0.25;
constexpr int kMaxParentSteps = 8;
constexpr int kSearchMaxNodes = 80;
constexpr int kSearchMaxDepth = 6;
constexpr std::size_t kSearchMaxChildren = 16;

}  // namespace

AXElement SelectionService::focusedElement() {
    ports::Accessibility& ax = services_.accessibility;
    const AXElement systemWide = ax.systemWide();
    ax.setMessagingTimeout(systemWide, kSystemWideTimeoutSeconds);
    auto focused = ax.elementAttribute(systemWide, AXAttribute::focusedUIElement);
    return focused ? *focused : AXElement{};
}

AXElement SelectionService::frontmostFocusedElement() {
    const std::optional<ports::RunningApp> front = services_.workspace.frontmostApplication();
    if (!front) return {};
    ports::Accessibility& ax = services_.accessibility;
    const AXElement app = ax.application(front->pid);
    ax.setMessagingTimeout(app, kLookupTimeoutSeconds);
    auto focused = ax.elementAttribute(app, AXAttribute::focusedUIElement);
    return focused ? *focused : AXElement{};
}

std::optional<std::string> SelectionService::axString(AXElement element, AXAttribute attribute) {
    auto value = services_.accessibility.stringAttribute(element, attribute);
    if (!value) return std::nullopt;
    return std::move(*value);
}

std::optional<std::string> SelectionService::selectedViaRange(AXElement element, Oversized& record) {
    ports::Accessibility& ax = services_.accessibility;
    auto range = ax.rangeAttribute(element, AXAttribute::selectedTextRange);
    if (!range || range->length < 1) return std::nullopt;
    const ports::TextRange asked{range->location, std::min(range->length, kSelectionLimit)};
    std::optional<std::string> read;
    auto answer = ax.parameterizedAttribute(element, ports::AXParameterizedAttribute::stringForRange, asked);
    if (answer) {
        if (auto* text = std::get_if<std::string>(&*answer)) read = std::move(*text);
    }
    if (range->length > kSelectionLimit) {
        record.seen = true;
        if (!record.text && read) record.text = std::move(read);
        return std::nullopt;
    }
    return read;
}

std::optional<std::string> SelectionService::compactSelection(AXElement element, Oversized& record) {
    std::optional<std::string> selected = axString(element, AXAttribute::selectedText);
    if (selected && !text::isBlank(*selected)) {
        if (!text::longerThan(*selected, kSelectionLimit)) return selected;
        record.note(*selected);
    }
    std::optional<std::string> ranged = selectedViaRange(element, record);
    if (!ranged || text::isBlank(*ranged) || text::longerThan(*ranged, kSelectionLimit)) {
        return std::nullopt;
    }
    return ranged;
}

std::optional<std::string> SelectionService::bfsSelection(AXElement root, int maxNodes, int maxDepth,
                                                           Oversized& record) {
    std::deque<std::pair<AXElement, int>> queue{{root, 0}};
    int taken = 0;
    while (!queue.empty() && taken < maxNodes) {
        const auto [element, depth] = queue.front();
        queue.pop_front();
        ++taken;
        if (auto found = compactSelection(element, record)) return found;
        if (depth >= maxDepth) continue;
        auto children = services_.accessibility.elementsAttribute(element, AXAttribute::children);
        if (!children) continue;
        const std::size_t count = std::min(children->size(), kSearchMaxChildren);
        for (std::size_t i = 0; i < count; ++i) queue.emplace_back((*children)[i], depth + 1);
    }
    return std::nullopt;
}

std::optional<std::string> SelectionService::findSelectedText(AXElement element, Oversized& record) {
    ports::Accessibility& ax = services_.accessibility;
    ax.setMessagingTimeout(element, kSearchTimeoutSeconds);
    if (auto found = compactSelection(element, record)) return found;
    AXElement current = element;
    for (int step = 1; step <= kMaxParentSteps; ++step) {
        auto parent = ax.elementAttribute(current, AXAttribute::parent);
        if (!parent || !*parent) return bfsSelection(current, kSearchMaxNodes, kSearchMaxDepth, record);
        current = *parent;
        if (auto found = compactSelection(current, record)) return found;
        auto role = ax.stringAttribute(current, AXAttribute::role);
        const bool top = role && (*role == ports::roles::kWindow || *role == ports::roles::kApplication);
        if (top || step == kMaxParentSteps) return bfsSelection(current, kSearchMaxNodes, kSearchMaxDepth, record);
    }
    return std::nullopt;
}

}  // namespace veska
