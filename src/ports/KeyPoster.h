// Synthetic keystrokes posted into the desktop as if typed, tagged as Veska's own.
#pragma once

#include <vector>

#include "ports/KeyCodes.h"

namespace veska::ports {

/// One synthetic key transition. `flags` is the modifier word the event carries (a posted
/// Command stands for the platform's shortcut modifier).
struct SyntheticKey {
    KeyCode keyCode = 0;
    bool down = true;
    KeyFlags flags = 0;

    friend bool operator==(const SyntheticKey&, const SyntheticKey&) = default;
};

/// Posts keys at the hardware level, so they go to whichever application is in front when
/// they are posted. Keys Veska posts reach key taps with Veska's process id as their source.
/// Modifiers the user still holds mix into posted keys until a key-up of them is posted.
/// Synchronous; used from any one executor at a time.
class KeyPoster {
public:
    virtual ~KeyPoster() = default;

    /// Whether keys may be posted and watched (input monitoring, or the platform's post-event
    /// access). Asked afresh on each call.
    [[nodiscard]] virtual bool canPost() const = 0;
    /// Posts `keys` in order with no pause. All or nothing: false when any event could not be
    /// made, and then none is posted. Without permission the platform may drop posted keys
    /// silently; the answer is still true.
    virtual bool post(const std::vector<SyntheticKey>& keys) = 0;
    /// Posts `keys` through the platform's automation service (a separate process that types
    /// on Veska's behalf), which may work without post-event access. False when the service
    /// is missing or refused.
    virtual bool postViaAutomation(const std::vector<SyntheticKey>& keys) = 0;
    /// The modifier flags currently held down on the keyboard (Shift, Control, Option,
    /// Command, fn bits).
    [[nodiscard]] virtual KeyFlags heldModifiers() const = 0;
};

}  // namespace veska::ports
