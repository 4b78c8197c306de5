// Trust, handles, time-outs and the dispatch of the port's calls onto AT-SPI.
#include "platform/linux/atspi/AtspiAccessibility.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace veska::platform {

using ports::AXAttribute;
using ports::AXElement;
using ports::AXError;
using ports::AXParameterizedAttribute;
using ports::AXResult;
using ports::AXValue;
using namespace atspi_calls;

namespace {

tl::unexpected<AXError> fail(AXError error) {
    return tl::make_unexpected(error);
}

/// Rounds of the private main context served per call: enough for the events that queued
/// while nobody asked, bounded so that a flood cannot hold a call up.
constexpr int kMaxPumpRounds = 256;

/// The context libatspi serves the accessibility bus on. Process-wide, as libatspi is.
GMainContext* privateContext() {
    static GMainContext* const context = g_main_context_new();
    return context;
}

}  // namespace

AtspiAccessibility::AtspiAccessibility(std::size_t maxElements) : elements_(maxElements) {}

AtspiAccessibility::~AtspiAccessibility() = default;

bool AtspiAccessibility::isProcessTrusted(bool prompt) {
    std::optional<bool> enabled = status_.isEnabled();
    if (enabled == false && prompt && status_.setEnabled(true)) enabled = status_.isEnabled();
    trusted_ = enabled.value_or(false);
    trustReadAt_ = Clock::now();
    return trusted_;
}

bool AtspiAccessibility::ready() {
    if (initialised_) return true;
    if (unavailable_) return false;
    // atspi_init cannot be tried twice, and libatspi aborts the process on a later call
    // without a bus: it is only started once the bus launcher has answered.
    const int result = atspi_init();
    if (result != 0 && result != 1) {
        unavailable_ = true;
        return false;
    }
    atspi_set_main_context(privateContext());
    desktop_ = adopt(atspi_get_desktop(0));
    if (!desktop_) {
        unavailable_ = true;
        return false;
    }
    initialised_ = true;
    return true;
}

std::optional<AXError> AtspiAccessibility::enter() {
    const auto now = Clock::now();
    if (!trustReadAt_ || now - *trustReadAt_ > std::chrono::duration<double>(kTrustRecheckSeconds)) {
        isProcessTrusted(false);
    }
    if (!trusted_ || !ready()) return AXError::apiDisabled;
    for (int round = 0; round < kMaxPumpRounds && g_main_context_iteration(privateContext(), FALSE);
         ++round) {
    }
    // Connections to single applications are served on GLib's default context: serve it too
    // when no other thread runs it.
    GMainContext* shared = g_main_context_default();
    if (g_main_context_acquire(shared)) {
        for (int round = 0; round < kMaxPumpRounds && g_main_context_iteration(shared, FALSE); ++round) {
        }
        g_main_context_release(shared);
    }
    useTimeout(defaultTimeout_);
    return std::nullopt;
}

void AtspiAccessibility::useTimeout(double seconds) {
    callTimeout_ = seconds;
    // No grace period for applications that started recently: a call never waits longer
    // than its time-out.
    atspi_set_timeout(std::max(1, static_cast<int>(std::lround(seconds * 1000))), 0);
}

void AtspiAccessibility::limitTo(Clock::time_point deadline) {
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    const double seconds = std::clamp(left, 0.001, callTimeout_);
    atspi_set_timeout(std::max(1, static_cast<int>(std::lround(seconds * 1000))), 0);
}

double AtspiAccessibility::timeoutOf(AXElement element) const {
    auto it = timeouts_.find(element.id);
    return it == timeouts_.end() ? defaultTimeout_ : it->second;
}

AXElement AtspiAccessibility::handle(AtspiAccessible* object) {
    return {elements_.add(object)};
}

tl::expected<AtspiAccessible*, AXError> AtspiAccessibility::reach(AXElement element) {
    if ((element.id & kPendingApplicationBit) != 0) {
        const auto pid = static_cast<std::int32_t>(element.id & 0x7FFFFFFF);
        Ref<AtspiAccessible> app = findApplication(pid);
        if (!app) return fail(AXError::invalidElement);
        AtspiAccessible* held = elements_.find(handle(app.get()).id);
        useTimeout(timeoutOf(element));
        return held;
    }
    AtspiAccessible* object = elements_.find(element.id);
    if (object == nullptr) return fail(AXError::invalidElement);
    useTimeout(timeoutOf(element));
    return object;
}

AXError AtspiAccessibility::probe(AtspiAccessible* object) {
    Error error;
    (void)atspi_accessible_get_role(object, &error.slot);
    return error ? errorOf(error.slot) : AXError::success;
}

AtspiAccessibility::Ref<AtspiAccessible> AtspiAccessibility::findApplication(std::int32_t pid) {
    Error error;
    const gint count = atspi_accessible_get_child_count(desktop_.get(), &error.slot);
    for (gint i = 0; i < count; ++i) {
        Error childError;
        Ref<AtspiAccessible> app =
            adopt(atspi_accessible_get_child_at_index(desktop_.get(), i, &childError.slot));
        if (!app) continue;
        Error pidError;
        if (static_cast<std::int32_t>(atspi_accessible_get_process_id(app.get(), &pidError.slot)) == pid &&
            !pidError) {
            return app;
        }
    }
    return nullptr;
}

AXElement AtspiAccessibility::application(std::int32_t pid) {
    if (pid <= 0) return {};
    if (!enter()) {
        if (Ref<AtspiAccessible> app = findApplication(pid)) return handle(app.get());
    }
    return {kPendingApplicationBit | static_cast<std::uint64_t>(pid)};
}

AXResult<std::int32_t> AtspiAccessibility::processId(AXElement element) {
    if (element.id == kSystemWideId) return fail(AXError::illegalArgument);
    if ((element.id & kPendingApplicationBit) != 0) return static_cast<std::int32_t>(element.id & 0x7FFFFFFF);
    if (auto denied = enter()) return fail(*denied);
    auto object = reach(element);
    if (!object) return fail(object.error());
    Error error;
    const guint pid = atspi_accessible_get_process_id(*object, &error.slot);
    if (error) return fail(errorOf(error.slot));
    return static_cast<std::int32_t>(pid);
}

AXError AtspiAccessibility::setMessagingTimeout(AXElement element, double seconds) {
    if (!(seconds >= 0) || !std::isfinite(seconds)) return AXError::illegalArgument;
    if (element.id == kSystemWideId) {
        defaultTimeout_ = seconds > 0 ? seconds : kDefaultTimeoutSeconds;
        return AXError::success;
    }
    const bool known = (element.id & kPendingApplicationBit) != 0 || elements_.find(element.id) != nullptr;
    if (!known) return AXError::invalidElement;
    if (seconds == 0) {
        timeouts_.erase(element.id);
        return AXError::success;
    }
    timeouts_[element.id] = seconds;
    // Time-outs of handles the table dropped go with them, so that the map stays bounded.
    if (timeouts_.size() > 2 * kMaxElements) {
        std::erase_if(timeouts_, [&](const auto& entry) {
            return (entry.first & kPendingApplicationBit) == 0 && !elements_.holds(entry.first);
        });
    }
    return AXError::success;
}

AXResult<AXValue> AtspiAccessibility::attribute(AXElement element, AXAttribute attribute) {
    if (auto denied = enter()) return fail(*denied);
    if (element.id == kSystemWideId) return readSystemWide(attribute);
    auto object = reach(element);
    if (!object) return fail(object.error());
    return readElement(*object, attribute);
}

AXResult<AXValue> AtspiAccessibility::readElement(AtspiAccessible* object, AXAttribute attribute) {
    switch (attribute) {
        case AXAttribute::role:
            return readRole(object);
        case AXAttribute::title: {
            Error error;
            OwnedString name(atspi_accessible_get_name(object, &error.slot));
            if (error) return fail(errorOf(error.slot));
            if (name.text == nullptr || name.text[0] == '\0') {
                // A failed property read comes back as an empty name without an error.
                if (const AXError gone = probe(object); gone != AXError::success) return fail(gone);
            }
            return AXValue{name.str()};
        }
        case AXAttribute::focused: {
            auto set = states(object);
            if (!set) return fail(set.error());
            return AXValue{(*set & (std::uint64_t{1} << ATSPI_STATE_FOCUSED)) != 0};
        }
        case AXAttribute::focusedUIElement:
        case AXAttribute::focusedApplication: {
            Error error;
            const AtspiRole role = atspi_accessible_get_role(object, &error.slot);
            if (error) return fail(errorOf(error.slot));
            if (role != ATSPI_ROLE_APPLICATION || attribute == AXAttribute::focusedApplication) {
                return fail(AXError::attributeUnsupported);
            }
            return focusOf(object, false);
        }
        case AXAttribute::parent:
            return readParent(object);
        case AXAttribute::children:
            return readChildren(object);
        default:
            return readText(object, attribute);
    }
}

AXResult<std::uint64_t> AtspiAccessibility::states(AtspiAccessible* object) {
    Ref<AtspiStateSet> set = adopt(atspi_accessible_get_state_set(object));
    if (!set) return fail(AXError::failure);
    if (atspi_state_set_contains(set.get(), ATSPI_STATE_DEFUNCT)) {
        const AXError gone = probe(object);
        return fail(gone == AXError::success ? AXError::invalidElement : gone);
    }
    std::uint64_t bits = 0;
    for (int state = 0; state < ATSPI_STATE_LAST_DEFINED && state < 64; ++state) {
        if (atspi_state_set_contains(set.get(), static_cast<AtspiStateType>(state)))
            bits |= std::uint64_t{1} << state;
    }
    return bits;
}

AXResult<AXValue> AtspiAccessibility::readParent(AtspiAccessible* object) {
    Error error;
    const AtspiRole role = atspi_accessible_get_role(object, &error.slot);
    if (error) return fail(errorOf(error.slot));
    // An application's parent is the desktop, which is not an element of the port.
    if (role == ATSPI_ROLE_APPLICATION) return fail(AXError::noValue);
    Error parentError;
    Ref<AtspiAccessible> parent = adopt(atspi_accessible_get_parent(object, &parentError.slot));
    if (parentError) return fail(errorOf(parentError.slot));
    if (!parent) return fail(AXError::noValue);
    return AXValue{handle(parent.get())};
}

AXResult<AXValue> AtspiAccessibility::readChildren(AtspiAccessible* object) {
    Error error;
    const gint count = atspi_accessible_get_child_count(object, &error.slot);
    if (error) return fail(errorOf(error.slot));
    if (count < 0) {
        const AXError gone = probe(object);
        return fail(gone == AXError::success ? AXError::failure : gone);
    }
    std::vector<AXElement> children;
    const gint listed = std::min<gint>(count, kMaxChildren);
    children.reserve(static_cast<std::size_t>(listed));
    for (gint i = 0; i < listed; ++i) {
        Error childError;
        Ref<AtspiAccessible> child = adopt(atspi_accessible_get_child_at_index(object, i, &childError.slot));
        if (childError) {
            const AXError e = errorOf(childError.slot);
            if (e == AXError::invalidElement || e == AXError::cannotComplete) return fail(e);
            continue;
        }
        if (child) children.push_back(handle(child.get()));
    }
    return AXValue{std::move(children)};
}

AXResult<AXValue> AtspiAccessibility::parameterizedAttribute(AXElement element,
                                                             AXParameterizedAttribute attribute,
                                                             const AXValue& parameter) {
    if (auto denied = enter()) return fail(*denied);
    if (element.id == kSystemWideId) return fail(AXError::parameterizedAttributeUnsupported);
    auto object = reach(element);
    if (!object) return fail(object.error());
    Ref<AtspiText> text = adopt(atspi_accessible_get_text_iface(*object));
    if (!text) {
        const AXError gone = probe(*object);
        return fail(gone == AXError::success ? AXError::parameterizedAttributeUnsupported : gone);
    }
    if (attribute == AXParameterizedAttribute::stringForRange)
        return stringForRange(*object, text.get(), parameter);
    return lineQuery(*object, text.get(), attribute, parameter);
}

AXResult<bool> AtspiAccessibility::isAttributeSettable(AXElement element, AXAttribute attribute) {
    if (auto denied = enter()) return fail(*denied);
    if (element.id == kSystemWideId) return false;
    auto object = reach(element);
    if (!object) return fail(object.error());
    auto set = states(*object);
    if (!set) return fail(set.error());
    auto has = [&](AtspiStateType state) { return (*set & (std::uint64_t{1} << state)) != 0; };
    switch (attribute) {
        case AXAttribute::value:
        case AXAttribute::selectedText: {
            Ref<AtspiEditableText> editable = adopt(atspi_accessible_get_editable_text_iface(*object));
            return editable != nullptr && has(ATSPI_STATE_EDITABLE);
        }
        case AXAttribute::selectedTextRange: {
            Ref<AtspiText> text = adopt(atspi_accessible_get_text_iface(*object));
            return text != nullptr;
        }
        case AXAttribute::focused:
            return has(ATSPI_STATE_FOCUSABLE);
        default:
            return false;
    }
}

AXError AtspiAccessibility::setAttribute(AXElement element, AXAttribute attribute, const AXValue& value) {
    if (auto denied = enter()) return *denied;
    if (element.id == kSystemWideId) return AXError::illegalArgument;
    auto object = reach(element);
    if (!object) return object.error();
    switch (attribute) {
        case AXAttribute::value:
            return writeValue(*object, value);
        case AXAttribute::selectedText:
            return writeSelectedText(*object, value);
        case AXAttribute::selectedTextRange:
            return writeSelectedRange(*object, value);
        case AXAttribute::focused:
            return writeFocused(*object, value);
        default: {
            const AXError gone = probe(*object);
            return gone == AXError::success ? AXError::attributeUnsupported : gone;
        }
    }
}

}  // namespace veska::platform
