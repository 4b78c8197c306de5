// The accessibility port over the simulated element trees, with faults and stalls.
#pragma once

#include <cstdint>
#include <set>
#include <string_view>

#include "platform/sim/SimElementTree.h"
#include "platform/sim/SimPermissions.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/SimWorkspace.h"
#include "ports/Accessibility.h"

namespace veska::sim {

/// Answers accessibility calls from the element trees. Calls fail with `apiDisabled` while
/// the accessibility permission is off, `invalidElement` for removed elements and quit
/// applications, and `cannotComplete` when the application stalls (a stalled application, or
/// a fault with `stalls`). A stalled call cannot hold up the single-threaded virtual loop: it
/// returns at once and adds the messaging time-out it would have waited to `blockedSeconds()`
/// and to the trace. Lives on the loop's thread.
class SimAccessibility final : public ports::Accessibility {
public:
    static constexpr double kDefaultTimeoutSeconds = 6.0;

    SimAccessibility(SimElementTree& tree, SimWorkspace& workspace, SimPermissions& permissions, SimTrace& trace)
        : tree_(tree), workspace_(workspace), permissions_(permissions), trace_(trace) {}

    /// The application stops answering every call (it is busy or hung).
    void setApplicationStalled(std::int32_t pid, bool stalled);
    /// Virtual seconds callers would have spent blocked in stalled calls, in total.
    [[nodiscard]] double blockedSeconds() const { return blockedSeconds_; }
    /// Calls answered so far (reads, writes, settable queries, parameterised reads).
    [[nodiscard]] std::uint64_t callCount() const { return calls_; }
    [[nodiscard]] double defaultTimeoutSeconds() const { return defaultTimeout_; }

    bool isProcessTrusted(bool prompt) override;
    ports::AXElement systemWide() override { return {SimElementTree::kSystemWideId}; }
    /// An application the workspace never knew gets the null handle, which fails on use.
    ports::AXElement application(std::int32_t pid) override;
    ports::AXResult<std::int32_t> processId(ports::AXElement element) override;
    ports::AXError setMessagingTimeout(ports::AXElement element, double seconds) override;
    ports::AXResult<ports::AXValue> attribute(ports::AXElement element, ports::AXAttribute attribute) override;
    ports::AXResult<ports::AXValue> parameterizedAttribute(ports::AXElement element,
                                                           ports::AXParameterizedAttribute attribute,
                                                           const ports::AXValue& parameter) override;
    ports::AXResult<bool> isAttributeSettable(ports::AXElement element, ports::AXAttribute attribute) override;
    ports::AXError setAttribute(ports::AXElement element, ports::AXAttribute attribute,
                                const ports::AXValue& value) override;

private:
    /// The element a call may go to, or the error the call ends with.
    tl::expected<SimElement*, ports::AXError> reach(ports::AXElement element, std::string_view what);
    ports::AXError stall(double timeoutSeconds, std::int32_t pid, std::string_view what);
    [[nodiscard]] double timeoutOf(const SimElement& element) const;
    ports::AXResult<ports::AXValue> readSystemWide(ports::AXAttribute attribute);
    ports::AXResult<ports::AXValue> read(SimElement& element, ports::AXAttribute attribute);
    ports::AXResult<ports::AXValue> readText(const SimElement& element, ports::AXAttribute attribute);
    ports::AXError apply(SimElement& element, ports::AXAttribute attribute, const ports::AXValue& value);
    ports::AXResult<ports::AXValue> lineQuery(const SimElement& element, ports::AXParameterizedAttribute attribute,
                                              const ports::AXValue& parameter);

    SimElementTree& tree_;
    SimWorkspace& workspace_;
    SimPermissions& permissions_;
    SimTrace& trace_;
    std::set<std::int32_t> stalled_;
    double defaultTimeout_ = kDefaultTimeoutSeconds;
    double blockedSeconds_ = 0;
    std::uint64_t calls_ = 0;
};

}  // namespace veska::sim
