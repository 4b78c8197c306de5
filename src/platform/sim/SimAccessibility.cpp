// Accessibility calls answered from the simulated element trees.
#include "platform/sim/SimAccessibility.h"

#include <algorithm>
#include <string>

#include "platform/sim/SimText.h"
#include "text/Utf.h"

namespace veska::sim {

using ports::AXAttribute;
using ports::AXElement;
using ports::AXError;
using ports::AXParameterizedAttribute;
using ports::AXResult;
using ports::AXValue;
using ports::TextRange;

namespace {

tl::unexpected<AXError> fail(AXError error) { return tl::make_unexpected(error); }

bool accessibilityOn(const SimPermissions& permissions) {
    return permissions.granted(ports::Permission::accessibility);
}

}  // namespace

void SimAccessibility::setApplicationStalled(std::int32_t pid, bool stalled) {
    if (stalled) {
        stalled_.insert(pid);
    } else {
        stalled_.erase(pid);
    }
}

bool SimAccessibility::isProcessTrusted(bool prompt) {
    if (accessibilityOn(permissions_)) return true;
    if (prompt) permissions_.ask(ports::Permission::accessibility);
    return accessibilityOn(permissions_);
}

AXError SimAccessibility::stall(double timeoutSeconds, std::int32_t pid, std::string_view what) {
    blockedSeconds_ += timeoutSeconds;
    trace_.add({.kind = TraceKind::accessibilityTimeout, .pid = pid, .seconds = timeoutSeconds, .detail = std::string(what)});
    return AXError::cannotComplete;
}

double SimAccessibility::timeoutOf(const SimElement& element) const {
    return element.timeoutSeconds > 0 ? element.timeoutSeconds : defaultTimeout_;
}

tl::expected<SimElement*, AXError> SimAccessibility::reach(AXElement element, std::string_view what) {
    ++calls_;
    if (!accessibilityOn(permissions_)) return fail(AXError::apiDisabled);
    SimElement* e = tree_.find(element.id);
    if (e == nullptr || !workspace_.isRunning(e->pid)) return fail(AXError::invalidElement);
    if (stalled_.contains(e->pid)) return fail(stall(timeoutOf(*e), e->pid, what));
    return e;
}

AXElement SimAccessibility::application(std::int32_t pid) {
    if (workspace_.find(pid) == nullptr) return {};
    return {tree_.applicationElement(pid)};
}

AXResult<std::int32_t> SimAccessibility::processId(AXElement element) {
    if (element.id == SimElementTree::kSystemWideId) return fail(AXError::illegalArgument);
    const SimElement* e = tree_.find(element.id);
    if (e == nullptr) return fail(AXError::invalidElement);
    return e->pid;
}

AXError SimAccessibility::setMessagingTimeout(AXElement element, double seconds) {
    if (!(seconds >= 0)) return AXError::illegalArgument;  // also refuses NaN
    if (element.id == SimElementTree::kSystemWideId) {
        defaultTimeout_ = seconds > 0 ? seconds : kDefaultTimeoutSeconds;
        return AXError::success;
    }
    SimElement* e = tree_.find(element.id);
    if (e == nullptr) return AXError::invalidElement;
    e->timeoutSeconds = seconds;
    return AXError::success;
}

AXResult<AXValue> SimAccessibility::readSystemWide(AXAttribute attribute) {
    ++calls_;
    if (!accessibilityOn(permissions_)) return fail(AXError::apiDisabled);
    const std::int32_t front = workspace_.frontmostPid();
    if (attribute == AXAttribute::role) return AXValue{std::string("AXSystemWide")};
    if (attribute != AXAttribute::focusedUIElement && attribute != AXAttribute::focusedApplication) {
        return fail(AXError::attributeUnsupported);
    }
    if (front == 0) return fail(AXError::noValue);
    // The question goes to the application in front, which may not answer.
    if (stalled_.contains(front)) return fail(stall(defaultTimeout_, front, ports::attributeName(attribute)));
    if (attribute == AXAttribute::focusedApplication) return AXValue{AXElement{tree_.applicationElement(front)}};
    const std::uint64_t focused = tree_.focusedOf(front);
    if (focused == 0) return fail(AXError::noValue);
    return AXValue{AXElement{focused}};
}

AXResult<AXValue> SimAccessibility::attribute(AXElement element, AXAttribute attribute) {
    if (element.id == SimElementTree::kSystemWideId) return readSystemWide(attribute);
    auto e = reach(element, ports::attributeName(attribute));
    if (!e) return fail(e.error());
    SimElement& el = **e;
    if (auto fault = el.readFaults.find(attribute); fault != el.readFaults.end()) {
        if (fault->second.stalls) return fail(stall(timeoutOf(el), el.pid, ports::attributeName(attribute)));
        return fail(fault->second.error);
    }
    if (auto forced = el.overrides.find(attribute); forced != el.overrides.end()) return forced->second;
    return read(el, attribute);
}

AXResult<AXValue> SimAccessibility::read(SimElement& el, AXAttribute attribute) {
    const bool isApp = tree_.isApplicationElement(el.id);
    switch (attribute) {
    case AXAttribute::role:
        return AXValue{el.role};
    case AXAttribute::title:
        return AXValue{el.title};
    case AXAttribute::focused:
        return AXValue{tree_.focusedOf(el.pid) == el.id};
    case AXAttribute::focusedUIElement: {
        if (!isApp) return fail(AXError::attributeUnsupported);
        const std::uint64_t focused = tree_.focusedOf(el.pid);
        if (focused == 0) return fail(AXError::noValue);
        return AXValue{AXElement{focused}};
    }
    case AXAttribute::focusedApplication:
        return fail(AXError::attributeUnsupported);
    case AXAttribute::parent:
        if (el.parent == 0) return fail(AXError::noValue);
        return AXValue{AXElement{el.parent}};
    case AXAttribute::children: {
        std::vector<AXElement> children;
        children.reserve(el.children.size());
        for (std::uint64_t child : el.children) children.push_back({child});
        return AXValue{std::move(children)};
    }
    default:
        return readText(el, attribute);
    }
}

AXResult<AXValue> SimAccessibility::readText(const SimElement& el, AXAttribute attribute) {
    if (!el.hasText) return fail(attribute == AXAttribute::value ? AXError::noValue : AXError::attributeUnsupported);
    const auto length = static_cast<std::int64_t>(el.text.size());
    switch (attribute) {
    case AXAttribute::value:
        return AXValue{el.textUtf8()};
    case AXAttribute::selectedText:
        return AXValue{el.selectedTextUtf8()};
    case AXAttribute::selectedTextRange:
        return AXValue{el.selection};
    case AXAttribute::visibleCharacterRange:
        return AXValue{el.visibleRange.value_or(TextRange{0, length})};
    case AXAttribute::numberOfCharacters:
        return AXValue{length};
    default:
        return fail(AXError::attributeUnsupported);
    }
}

AXResult<bool> SimAccessibility::isAttributeSettable(AXElement element, AXAttribute attribute) {
    if (element.id == SimElementTree::kSystemWideId) {
        if (!accessibilityOn(permissions_)) return fail(AXError::apiDisabled);
        return false;
    }
    auto e = reach(element, ports::attributeName(attribute));
    if (!e) return fail(e.error());
    SimElement& el = **e;
    if (auto fault = el.settableFaults.find(attribute); fault != el.settableFaults.end()) {
        if (fault->second.stalls) return fail(stall(timeoutOf(el), el.pid, ports::attributeName(attribute)));
        return fail(fault->second.error);
    }
    return el.settable.contains(attribute);
}

AXError SimAccessibility::setAttribute(AXElement element, AXAttribute attribute, const AXValue& value) {
    if (element.id == SimElementTree::kSystemWideId) {
        return accessibilityOn(permissions_) ? AXError::illegalArgument : AXError::apiDisabled;
    }
    auto e = reach(element, ports::attributeName(attribute));
    if (!e) return e.error();
    SimElement& el = **e;
    if (!el.settable.contains(attribute)) return AXError::attributeUnsupported;
    if (auto fault = el.writeFaults.find(attribute); fault != el.writeFaults.end()) {
        const SimFault f = fault->second;
        if (f.appliedAnyway) apply(el, attribute, value);
        if (f.stalls) return stall(timeoutOf(el), el.pid, ports::attributeName(attribute));
        return f.error;
    }
    return apply(el, attribute, value);
}

AXError SimAccessibility::apply(SimElement& el, AXAttribute attribute, const AXValue& value) {
    std::string detail(ports::attributeName(attribute));
    switch (attribute) {
    case AXAttribute::value:
    case AXAttribute::selectedText: {
        const auto* text = std::get_if<std::string>(&value);
        if (text == nullptr || !el.hasText) return AXError::illegalArgument;
        if (attribute == AXAttribute::value) {
            el.setText(text::toUtf16(*text));
        } else {
            el.replaceSelection(text::toUtf16(*text));
        }
        detail += "=" + *text;
        break;
    }
    case AXAttribute::selectedTextRange: {
        const auto* range = std::get_if<TextRange>(&value);
        if (range == nullptr || !el.hasText || !el.validRange(*range)) return AXError::illegalArgument;
        el.selection = *range;
        detail += "=" + std::to_string(range->location) + "," + std::to_string(range->length);
        break;
    }
    case AXAttribute::focused: {
        const auto* on = std::get_if<bool>(&value);
        if (on == nullptr) return AXError::illegalArgument;
        if (*on) {
            tree_.focus(el.pid, el.id);
        } else if (tree_.focusedOf(el.pid) == el.id) {
            tree_.focus(el.pid, 0);
        }
        detail += *on ? "=true" : "=false";
        break;
    }
    default:
        return AXError::attributeUnsupported;
    }
    trace_.add({.kind = TraceKind::accessibilityWrite, .pid = el.pid, .detail = std::move(detail)});
    return AXError::success;
}

AXResult<AXValue> SimAccessibility::parameterizedAttribute(AXElement element, AXParameterizedAttribute attribute,
                                                           const AXValue& parameter) {
    if (element.id == SimElementTree::kSystemWideId) {
        if (!accessibilityOn(permissions_)) return fail(AXError::apiDisabled);
        return fail(AXError::parameterizedAttributeUnsupported);
    }
    auto e = reach(element, ports::parameterizedAttributeName(attribute));
    if (!e) return fail(e.error());
    SimElement& el = **e;
    if (auto fault = el.parameterizedFaults.find(attribute); fault != el.parameterizedFaults.end()) {
        if (fault->second.stalls) return fail(stall(timeoutOf(el), el.pid, ports::parameterizedAttributeName(attribute)));
        return fail(fault->second.error);
    }
    if (!el.hasText) return fail(AXError::parameterizedAttributeUnsupported);
    if (attribute != AXParameterizedAttribute::stringForRange) return lineQuery(el, attribute, parameter);
    const auto* range = std::get_if<TextRange>(&parameter);
    if (range == nullptr || !el.validRange(*range)) return fail(AXError::illegalArgument);
    if (el.maxStringForRange && range->length > *el.maxStringForRange) return fail(AXError::failure);
    return AXValue{text::toUtf8(std::u16string_view(el.text).substr(static_cast<std::size_t>(range->location),
                                                              static_cast<std::size_t>(range->length)))};
}

AXResult<AXValue> SimAccessibility::lineQuery(const SimElement& el, AXParameterizedAttribute attribute,
                                              const AXValue& parameter) {
    const auto* number = std::get_if<std::int64_t>(&parameter);
    if (number == nullptr || *number < 0) return fail(AXError::illegalArgument);
    const auto length = static_cast<std::int64_t>(el.text.size());
    if (attribute == AXParameterizedAttribute::lineForIndex) {
        if (*number > length) return fail(AXError::illegalArgument);
        const auto lines = std::count(el.text.begin(), el.text.begin() + *number, u'\n');
        return AXValue{static_cast<std::int64_t>(lines)};
    }
    std::int64_t start = 0;
    for (std::int64_t line = 0; line < *number; ++line) {
        const auto next = el.text.find(u'\n', static_cast<std::size_t>(start));
        if (next == std::u16string::npos) return fail(AXError::illegalArgument);
        start = static_cast<std::int64_t>(next) + 1;
    }
    const auto newline = el.text.find(u'\n', static_cast<std::size_t>(start));
    const std::int64_t end = newline == std::u16string::npos ? length : static_cast<std::int64_t>(newline) + 1;
    return AXValue{TextRange{start, end - start}};
}

}  // namespace veska::sim
