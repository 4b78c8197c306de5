// The desktop element, roles and the search for the focused element.
#include <algorithm>
#include <deque>
#include <string>

#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/atspi/AtspiRoles.h"

namespace veska::platform {

using ports::AXAttribute;
using ports::AXError;
using ports::AXResult;
using ports::AXValue;
using namespace atspi_calls;

namespace {

tl::unexpected<AXError> fail(AXError error) {
    return tl::make_unexpected(error);
}

constexpr std::uint64_t bit(AtspiStateType state) {
    return std::uint64_t{1} << state;
}

/// Windows of one application looked at for the active one.
constexpr int kMaxWindows = 64;

}  // namespace

AXResult<AXValue> AtspiAccessibility::readRole(AtspiAccessible* object) {
    Error error;
    const AtspiRole role = atspi_accessible_get_role(object, &error.slot);
    if (error) return fail(errorOf(error.slot));
    auto set = states(object);
    if (!set) return fail(set.error());
    const bool multiLine = (*set & bit(ATSPI_STATE_MULTI_LINE)) != 0;
    const bool editable = (*set & bit(ATSPI_STATE_EDITABLE)) != 0;
    return AXValue{std::string(roleName(role, multiLine, editable))};
}

AXResult<AXValue> AtspiAccessibility::readSystemWide(AXAttribute attribute) {
    if (attribute == AXAttribute::role) return AXValue{std::string("AXSystemWide")};
    if (attribute != AXAttribute::focusedUIElement && attribute != AXAttribute::focusedApplication) {
        return fail(AXError::attributeUnsupported);
    }
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(defaultTimeout_));
    Error error;
    const gint count = atspi_accessible_get_child_count(desktop_.get(), &error.slot);
    if (error) return fail(errorOf(error.slot));
    for (gint i = 0; i < count; ++i) {
        if (Clock::now() >= deadline) return fail(AXError::cannotComplete);
        Error childError;
        Ref<AtspiAccessible> app =
            adopt(atspi_accessible_get_child_at_index(desktop_.get(), i, &childError.slot));
        if (!app) continue;
        Ref<AtspiAccessible> window = activeWindow(app.get(), deadline);
        if (!window) continue;
        if (attribute == AXAttribute::focusedApplication) return AXValue{handle(app.get())};
        Ref<AtspiAccessible> focused = focusedBelow(window.get(), deadline);
        if (!focused) return fail(Clock::now() >= deadline ? AXError::cannotComplete : AXError::noValue);
        return AXValue{handle(focused.get())};
    }
    return fail(AXError::noValue);
}

AXResult<AXValue> AtspiAccessibility::focusOf(AtspiAccessible* application, bool wantApplication) {
    // The whole search keeps to the time-out of the application's element.
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(callTimeout_));
    Ref<AtspiAccessible> window = activeWindow(application, deadline);
    if (!window) return fail(Clock::now() >= deadline ? AXError::cannotComplete : AXError::noValue);
    if (wantApplication) return AXValue{handle(application)};
    Ref<AtspiAccessible> focused = focusedBelow(window.get(), deadline);
    if (!focused) return fail(Clock::now() >= deadline ? AXError::cannotComplete : AXError::noValue);
    return AXValue{handle(focused.get())};
}

AtspiAccessibility::Ref<AtspiAccessible> AtspiAccessibility::activeWindow(AtspiAccessible* application,
                                                                          Clock::time_point deadline) {
    Error error;
    const gint count =
        std::min<gint>(atspi_accessible_get_child_count(application, &error.slot), kMaxWindows);
    for (gint i = 0; i < count && Clock::now() < deadline; ++i) {
        limitTo(deadline);
        Error childError;
        Ref<AtspiAccessible> window =
            adopt(atspi_accessible_get_child_at_index(application, i, &childError.slot));
        if (!window) continue;
        limitTo(deadline);
        auto set = states(window.get());
        if (set && (*set & bit(ATSPI_STATE_ACTIVE)) != 0) return window;
    }
    return nullptr;
}

AtspiAccessibility::Ref<AtspiAccessible> AtspiAccessibility::focusedBelow(AtspiAccessible* root,
                                                                          Clock::time_point deadline) {
    std::deque<Ref<AtspiAccessible>> queue;
    queue.push_back(adopt(static_cast<AtspiAccessible*>(g_object_ref(root))));
    int visited = 0;
    while (!queue.empty() && visited < kMaxFocusSearchNodes && Clock::now() < deadline) {
        Ref<AtspiAccessible> node = std::move(queue.front());
        queue.pop_front();
        ++visited;
        limitTo(deadline);
        auto set = states(node.get());
        if (!set) continue;
        if ((*set & bit(ATSPI_STATE_FOCUSED)) != 0) return node;
        // Hidden subtrees cannot hold the focus; the children of managed lists and tables are
        // made on demand and may be countless.
        const bool hidden = node.get() != root && (*set & bit(ATSPI_STATE_SHOWING)) == 0;
        if (hidden || (*set & bit(ATSPI_STATE_MANAGES_DESCENDANTS)) != 0) continue;
        limitTo(deadline);
        Error error;
        const gint count =
            std::min<gint>(atspi_accessible_get_child_count(node.get(), &error.slot), kMaxChildren);
        for (gint i = 0; i < count && Clock::now() < deadline; ++i) {
            limitTo(deadline);
            Error childError;
            Ref<AtspiAccessible> child =
                adopt(atspi_accessible_get_child_at_index(node.get(), i, &childError.slot));
            if (child) queue.push_back(std::move(child));
        }
    }
    return nullptr;
}

}  // namespace veska::platform
