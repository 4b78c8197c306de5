// Keeping the system awake while Veska does something the user is waiting for.
#pragma once

#include <memory>
#include <string>

namespace veska::ports {

/// One held assertion; destroying it ends the assertion.
class Activity {
public:
    virtual ~Activity() = default;
};

/// Begins user-initiated activities during which the system does not idle-sleep or blank the
/// screen. Where the system offers no such thing, an activity is taken but does nothing.
/// Used from the main executor; never blocks.
class ActivityAssertion {
public:
    virtual ~ActivityAssertion() = default;
    /// Begins an activity for `reason` (shown by the system to whoever asks why it stays
    /// awake); it lasts as long as the returned token.
    [[nodiscard]] virtual std::unique_ptr<Activity> begin(const std::string& reason) = 0;
};

}  // namespace veska::ports
