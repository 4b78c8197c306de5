// Global keyboard events: a tap that may swallow keys, and monitors that only observe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ports/KeyCodes.h"

namespace veska::ports {

enum class KeyEventKind {
    keyDown,
    keyUp,
    /// A modifier key (or fn) went down or up; the flag word tells the new state.
    flagsChanged,
    /// Notices to a tap's handler that the system disabled the tap; they carry no key.
    tapDisabledByTimeout,
    tapDisabledByUserInput,
};

/// One normalised key event, whatever the platform it came from.
struct KeyEvent {
    KeyEventKind kind = KeyEventKind::keyDown;
    KeyCode keyCode = 0;
    KeyFlags flags = 0;
    bool autoRepeat = false;
    /// Process id of the program that posted the event; 0 for the keyboard itself or when
    /// unknown. Events Veska posts carry its own process id.
    std::int32_t sourcePid = 0;

    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

/// Which event kinds a tap or monitor asks for (tap-disabled notices always reach a tap).
struct KeyEventMask {
    bool keyDown = true;
    bool keyUp = false;
    bool flagsChanged = true;

    [[nodiscard]] bool includes(KeyEventKind kind) const {
        switch (kind) {
        case KeyEventKind::keyDown:
            return keyDown;
        case KeyEventKind::keyUp:
            return keyUp;
        case KeyEventKind::flagsChanged:
            return flagsChanged;
        default:
            return true;
        }
    }
};

/// Where a tap sits: at the hardware level (sees every event first) or the user session.
enum class TapLocation { hid, session };

/// `defaultTap` may swallow events; `listenOnly` only watches and ignores every verdict.
enum class TapOptions { defaultTap, listenOnly };

enum class TapVerdict { pass, swallow };

/// A key the tap may swallow, declared before it arrives: some platforms (X11) can withhold a
/// key from applications only if they claimed it in advance. A swallow verdict for an event
/// that no declaration covers is ignored and the event reaches the application.
struct SwallowableKey {
    KeyCode keyCode = 0;
    /// Modifier words (flags masked with flags::kModifierMask) under which the key may be
    /// swallowed; empty means under any modifiers.
    std::vector<KeyFlags> modifiers{};

    [[nodiscard]] bool covers(KeyCode code, KeyFlags eventFlags) const {
        if (code != keyCode) return false;
        if (modifiers.empty()) return true;
        for (KeyFlags m : modifiers) {
            if (m == (eventFlags & flags::kModifierMask)) return true;
        }
        return false;
    }
};

/// Called for each event the tap sees; must return at once (no waiting, no callbacks run
/// inside it). Runs on the executor the source delivers to (the main executor).
using TapHandler = std::function<TapVerdict(const KeyEvent&)>;
/// Called for each event a monitor observes, on the same executor.
using MonitorHandler = std::function<void(const KeyEvent&)>;

struct TapRequest {
    TapLocation location = TapLocation::hid;
    TapOptions options = TapOptions::defaultTap;
    KeyEventMask mask{};
};

/// A live tap. Destroying it disables it and releases every key it claimed.
class KeyTap {
public:
    virtual ~KeyTap() = default;

    /// Whether the tap was made with `defaultTap` (its swallow verdicts count).
    [[nodiscard]] virtual bool canSwallow() const = 0;
    [[nodiscard]] virtual bool isEnabled() const = 0;
    /// Enables or disables the tap; used to re-enable it after a tap-disabled notice.
    virtual void setEnabled(bool enabled) = 0;
    /// Replaces the declared swallowable keys (a new tap has none). False when some could not
    /// be claimed (another program holds them); the others are claimed all the same. Only
    /// meaningful for a tap that can swallow.
    virtual bool setSwallowable(std::vector<SwallowableKey> keys) = 0;
};

/// A live monitor; destroying it stops the observation.
class KeyMonitor {
public:
    virtual ~KeyMonitor() = default;
};

/// The desktop's keyboard. A tap sees events before any application and may swallow them; a
/// global monitor observes events bound for other applications, a local monitor those bound
/// for Veska's own windows. Events swallowed by a tap reach neither monitors nor applications.
class KeyEventSource {
public:
    virtual ~KeyEventSource() = default;

    /// A new tap placed ahead of existing ones, enabled, or null when the platform refuses
    /// (no permission to watch input, or the location is unavailable).
    virtual std::unique_ptr<KeyTap> createTap(TapRequest request, TapHandler handler) = 0;
    /// Observers that never fail to be made; without permission they may see nothing.
    virtual std::unique_ptr<KeyMonitor> addGlobalMonitor(KeyEventMask mask, MonitorHandler handler) = 0;
    virtual std::unique_ptr<KeyMonitor> addLocalMonitor(KeyEventMask mask, MonitorHandler handler) = 0;
};

}  // namespace veska::ports
