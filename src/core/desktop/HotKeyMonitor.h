// The keyboard gestures: fn tap and hold, bare Control and Option double-taps, the
// Control+Option chords and Escape, turned into callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/desktop/DesktopServices.h"
#include "ports/KeyEventSource.h"
#include "runtime/Executor.h"

namespace veska {

/// Watches the whole desktop's keyboard through a tap (which may swallow) and a global and a
/// local monitor (which only observe), and calls one callback per recognised gesture. It never
/// acts by itself: the owner assigns the callbacks, then calls `start()`. Lives on the main
/// executor, as long as the application; every handler, timer and callback runs there. The
/// clock is the main executor's `now()`.
///
/// Keys posted by Veska itself carry its process id and never reach the gesture logic, through
/// the tap or the monitors. Because some platforms can withhold a key only if it was claimed in advance, the
/// tap's declared swallowable keys follow what the logic may swallow: fn alone or with Control,
/// L, S and M under exactly Control+Option, and Escape while it must swallow Escape.
///
/// Callbacks must not destroy the monitor while they run.
class HotKeyMonitor {
public:
    using Callback = std::function<void()>;

    /// Opens nothing; `start()` does. `ownPid` is Veska's own process id.
    HotKeyMonitor(rt::Executor& main, ports::KeyEventSource& keys, std::int32_t ownPid);
    explicit HotKeyMonitor(const DesktopServices& services);
    ~HotKeyMonitor();
    HotKeyMonitor(const HotKeyMonitor&) = delete;
    HotKeyMonitor& operator=(const HotKeyMonitor&) = delete;

    /// fn tapped (short press): start or stop dictation.
    Callback onSTTToggle;
    /// fn held past the hold threshold: start push-to-talk dictation.
    Callback onSTTHoldStart;
    /// fn released after a hold: end push-to-talk dictation.
    Callback onSTTHoldEnd;
    /// Bare Option double-tapped.
    Callback onRead;
    /// Bare Control double-tapped.
    Callback onTranslate;
    /// Control+Option+L.
    Callback onToggleOutput;
    /// Control+Option+S.
    Callback onFixSelection;
    /// Control+Option+M.
    Callback onCycleMode;
    /// Escape.
    Callback onCancel;

    /// While set (work is running), the tap consumes Escape. Declares or withdraws Escape as a
    /// key the tap may swallow.
    void setSwallowEscape(bool on);
    [[nodiscard]] bool swallowsEscape() const { return swallowEscape_; }

private:
    bool swallowEscape_ = false;

public:
    /// Whether the last accepted fn press was made together with Control alone; read when a
    /// dictation starts. Keeps its value until the next accepted press.
    bool composePress = false;

    /// Opens the tap (the first of four places and modes that works) and the two monitors.
    /// Called once, after the callbacks are set.
    void start();
    /// Makes fn presses that begin within `seconds` from now start nothing, and forgets the
    /// fn press in progress.
    void suppressFn(double seconds);
    /// The periodic watchdog's work on the tap: re-enables a tap the system disabled, or, when
    /// there is none, tries the four places and modes again.
    void rearmTap();

    /// Whether a tap exists, and whether it may consume events.
    [[nodiscard]] bool hasTap() const { return eventTap_ != nullptr; }
    [[nodiscard]] bool tapSwallows() const { return eventTap_ != nullptr && tapCanSwallow_; }

private:
    rt::Executor& main_;
    ports::KeyEventSource& keys_;
    std::int32_t ownPid_;
    /// Lets callbacks queued on the main executor know the monitor is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    bool fnDown_ = false;
    bool fnSawOtherKey_ = false;
    double fnDownAt_ = 0;
    bool optionDown_ = false;
    bool optionSawOtherKey_ = false;
    double lastBareOptionUp_ = 0;
    bool controlDown_ = false;
    bool controlSawOtherKey_ = false;
    double lastBareControlUp_ = 0;
    static constexpr double kDoubleTapWindow = 0.4;
    static constexpr double kHoldThreshold = 0.18;
    static constexpr ports::KeyCode kFnKeyCode = 63;
    static constexpr ports::KeyCode kOutputKeyCode = 37;
    static constexpr ports::KeyCode kFixKeyCode = 1;
    static constexpr ports::KeyCode kModeKeyCode = 46;
    bool holdStarted_ = false;
    std::optional<rt::Timer> holdTimer_;
    double ignoreFnUntil_ = 0;
    std::unique_ptr<ports::KeyTap> eventTap_;
    bool tapCanSwallow_ = false;
    /// The executor the tap's events are handled on (the main one) once a tap exists; the
    /// port delivers there, so there is no separate source object to keep.
    rt::Executor* runLoopSource_ = nullptr;
    std::unique_ptr<ports::KeyMonitor> nsMonitor_;
    std::unique_ptr<ports::KeyMonitor> nsLocalMonitor_;

    /// How long fn stays deaf after a tap or a hold fired.
    static constexpr double kDeafSecondsAfterAction = 0.45;

    bool createTap(ports::TapLocation location, ports::TapOptions options);
    bool createFirstTap();
    void declareSwallowable();
    ports::TapVerdict handleCGEvent(const ports::KeyEvent& event);
    ports::TapVerdict handleChordInTap(const ports::KeyEvent& event);
    ports::TapVerdict handleFnKeyDownInTap(const ports::KeyEvent& event);
    void handleNSEvent(const ports::KeyEvent& event);
    void handleNSKeyDown(const ports::KeyEvent& event);
    void handleNSFlagsChanged(const ports::KeyEvent& event);
    void applyFn(bool down, bool combined, bool compose);
    void scheduleHoldStart();
    void finishFnPress();

    void noteOtherKeyDuringFn();
    /// Marks both modifiers as no longer bare and disarms both double-taps.
    void spoilBareModifiers();
    /// The callback of chord key `keyCode` (L, S or M).
    [[nodiscard]] Callback& chordCallback(ports::KeyCode keyCode);
    /// Queues `callback` on the main executor; it runs only if still set then.
    void queue(Callback HotKeyMonitor::* callback);
    [[nodiscard]] bool onMainExecutor() const;
    /// Keys Veska posts itself (paste, copy, delete) are no gestures, whichever road they take.
    [[nodiscard]] bool isOwnEvent(const ports::KeyEvent& event) const {
        return event.sourcePid != 0 && event.sourcePid == ownPid_;
    }
    [[nodiscard]] bool tapWorks() const { return eventTap_ != nullptr && eventTap_->isEnabled(); }
};

}  // namespace veska
