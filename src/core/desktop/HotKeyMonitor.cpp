// Gesture recognition over normalised key events: the tap's and the monitors' handlers, the
// fn press state machine and the bare-modifier double-taps.
#include "core/desktop/HotKeyMonitor.h"

#include <array>
#include <utility>

namespace veska {

namespace {

namespace flags = ports::flags;
namespace keys = ports::keys;
using ports::KeyEvent;
using ports::KeyEventKind;
using ports::KeyFlags;
using ports::TapLocation;
using ports::TapOptions;
using ports::TapVerdict;

constexpr KeyFlags kControlOption = flags::kControl | flags::kOption;
/// Escape cancels through a monitor unless one of these is held.
constexpr KeyFlags kEscapeBlockers = flags::kCommand | flags::kShift;
/// The modifiers that make an Option press not bare, and a Control press not bare.
constexpr KeyFlags kOthersOfOption = flags::kShift | flags::kControl | flags::kCommand;
constexpr KeyFlags kOthersOfControl = flags::kShift | flags::kOption | flags::kCommand;

constexpr KeyFlags modifiersOf(KeyFlags flagWord) { return flagWord & flags::kModifierMask; }

/// The places and modes a tap is tried in, best first.
constexpr std::array<std::pair<TapLocation, TapOptions>, 4> kTapAttempts = {{
    {TapLocation::hid, TapOptions::defaultTap},
    {TapLocation::session, TapOptions::defaultTap},
    {TapLocation::hid, TapOptions::listenOnly},
    {TapLocation::session, TapOptions::listenOnly},
}};

bool isModifierOrFnKey(ports::KeyCode code) { return ports::modifierFlagOf(code) != 0; }

}  // namespace

HotKeyMonitor::HotKeyMonitor(rt::Executor& main, ports::KeyEventSource& keys, std::int32_t ownPid)
    : main_(main), keys_(keys), ownPid_(ownPid) {}

HotKeyMonitor::HotKeyMonitor(const DesktopServices& services)
    : HotKeyMonitor(services.main, services.keys, services.workspace.ownProcessId()) {}

HotKeyMonitor::~HotKeyMonitor() {
    *alive_ = false;
    holdTimer_.reset();
    if (eventTap_) eventTap_->setEnabled(false);
    eventTap_.reset();
    runLoopSource_ = nullptr;
    nsMonitor_.reset();
    nsLocalMonitor_.reset();
}

// ---- opening the sources ----

void HotKeyMonitor::start() {
    if (!eventTap_) createFirstTap();
    const ports::KeyEventMask mask{.keyDown = true, .keyUp = false, .flagsChanged = true};
    nsMonitor_ = keys_.addGlobalMonitor(mask, [this](const KeyEvent& event) { handleNSEvent(event); });
    nsLocalMonitor_ = keys_.addLocalMonitor(mask, [this](const KeyEvent& event) { handleNSEvent(event); });
}

void HotKeyMonitor::rearmTap() {
    if (eventTap_) {
        if (!eventTap_->isEnabled()) eventTap_->setEnabled(true);
        return;
    }
    createFirstTap();
}

bool HotKeyMonitor::createFirstTap() {
    for (const auto& [location, options] : kTapAttempts) {
        if (createTap(location, options)) return true;
    }
    return false;
}

bool HotKeyMonitor::createTap(TapLocation location, TapOptions options) {
    const ports::TapRequest request{
        .location = location, .options = options, .mask = {.keyDown = true, .keyUp = false, .flagsChanged = true}};
    auto tap = keys_.createTap(request, [this](const KeyEvent& event) { return handleCGEvent(event); });
    if (!tap) return false;
    eventTap_ = std::move(tap);
    tapCanSwallow_ = options == TapOptions::defaultTap;
    eventTap_->setEnabled(true);
    runLoopSource_ = &main_;
    declareSwallowable();
    return true;
}

void HotKeyMonitor::setSwallowEscape(bool on) {
    if (swallowEscape_ == on) return;
    swallowEscape_ = on;
    declareSwallowable();
}

void HotKeyMonitor::declareSwallowable() {
    if (!eventTap_ || !tapCanSwallow_) return;
    std::vector<ports::SwallowableKey> declared{
        {.keyCode = kFnKeyCode, .modifiers = {flags::kNone, flags::kControl}},
        {.keyCode = kOutputKeyCode, .modifiers = {kControlOption}},
        {.keyCode = kFixKeyCode, .modifiers = {kControlOption}},
        {.keyCode = kModeKeyCode, .modifiers = {kControlOption}},
    };
    if (swallowEscape_) declared.push_back({.keyCode = keys::kEscape, .modifiers = {}});
    // A key another program holds simply passes; the gesture logic is the same either way.
    (void)eventTap_->setSwallowable(std::move(declared));
}

// ---- the tap ----

TapVerdict HotKeyMonitor::handleCGEvent(const KeyEvent& event) {
    if (event.kind == KeyEventKind::tapDisabledByTimeout || event.kind == KeyEventKind::tapDisabledByUserInput) {
        if (eventTap_) eventTap_->setEnabled(true);
        return TapVerdict::pass;
    }
    if (isOwnEvent(event)) return TapVerdict::pass;
    const KeyFlags modifiers = modifiersOf(event.flags);
    if (event.kind == KeyEventKind::flagsChanged) {
        const bool fnBit = (event.flags & flags::kFn) != 0;
        if (fnBit != fnDown_) {
            applyFn(fnBit, modifiers != flags::kNone && modifiers != flags::kControl, modifiers == flags::kControl);
        }
        const bool fnAloneOrWithControl = modifiers == flags::kNone || modifiers == flags::kControl;
        return event.keyCode == kFnKeyCode && fnAloneOrWithControl ? TapVerdict::swallow : TapVerdict::pass;
    }
    if (event.kind != KeyEventKind::keyDown) return TapVerdict::pass;
    switch (event.keyCode) {
    case kOutputKeyCode:
    case kFixKeyCode:
    case kModeKeyCode:
        return handleChordInTap(event);
    case keys::kEscape:
        if (swallowEscape_) {
            queue(&HotKeyMonitor::onCancel);
            return TapVerdict::swallow;
        }
        noteOtherKeyDuringFn();
        return TapVerdict::pass;
    case kFnKeyCode:
        return handleFnKeyDownInTap(event);
    default:
        noteOtherKeyDuringFn();
        return TapVerdict::pass;
    }
}

TapVerdict HotKeyMonitor::handleChordInTap(const KeyEvent& event) {
    if (modifiersOf(event.flags) != kControlOption || !tapCanSwallow_) {
        noteOtherKeyDuringFn();
        return TapVerdict::pass;
    }
    spoilBareModifiers();
    if (event.autoRepeat) return TapVerdict::swallow;
    switch (event.keyCode) {
    case kOutputKeyCode: queue(&HotKeyMonitor::onToggleOutput); break;
    case kFixKeyCode: queue(&HotKeyMonitor::onFixSelection); break;
    default: queue(&HotKeyMonitor::onCycleMode); break;
    }
    return TapVerdict::swallow;
}

TapVerdict HotKeyMonitor::handleFnKeyDownInTap(const KeyEvent& event) {
    const bool optionHeld = (event.flags & flags::kOption) != 0;
    if ((event.flags & (flags::kShift | flags::kControl | flags::kCommand)) == flags::kControl) {
        applyFn(true, optionHeld, !optionHeld);
        return optionHeld ? TapVerdict::pass : TapVerdict::swallow;
    }
    if (modifiersOf(event.flags) == flags::kNone) {
        applyFn(true, false, false);
        return TapVerdict::swallow;
    }
    applyFn(true, true, false);
    return TapVerdict::pass;
}

// ---- the monitors ----

void HotKeyMonitor::handleNSEvent(const KeyEvent& event) {
    if (isOwnEvent(event)) return;
    if (event.kind == KeyEventKind::keyDown) {
        handleNSKeyDown(event);
    } else if (event.kind == KeyEventKind::flagsChanged) {
        handleNSFlagsChanged(event);
    }
}

void HotKeyMonitor::handleNSKeyDown(const KeyEvent& event) {
    const ports::KeyCode code = event.keyCode;
    if (code == keys::kEscape && (event.flags & kEscapeBlockers) == 0) {
        if (onCancel) onCancel();
        return;
    }
    const bool chord = (code == kOutputKeyCode || code == kFixKeyCode || code == kModeKeyCode) &&
                       modifiersOf(event.flags) == kControlOption;
    if (chord && !(tapWorks() && tapCanSwallow_)) {
        spoilBareModifiers();
        if (event.autoRepeat) return;
        if (Callback& callback = chordCallback(code)) callback();
        return;
    }
    if (!chord && isModifierOrFnKey(code)) return;
    if (fnDown_) fnSawOtherKey_ = true;
    if (optionDown_) optionSawOtherKey_ = true;
    if (controlDown_) controlSawOtherKey_ = true;
    lastBareOptionUp_ = 0;
    lastBareControlUp_ = 0;
}

void HotKeyMonitor::handleNSFlagsChanged(const KeyEvent& event) {
    const KeyFlags f = event.flags;
    if (!tapWorks()) {
        const bool fnFlag = (f & flags::kFn) != 0;
        const KeyFlags notControl = f & (flags::kShift | flags::kOption | flags::kCommand);
        if (fnFlag && !fnDown_) {
            applyFn(true, notControl != 0, (f & flags::kControl) != 0 && notControl == 0);
        } else if (!fnFlag && fnDown_) {
            applyFn(false, false, false);
        }
    }
    const double now = main_.now();
    const auto bareModifier = [&](bool& down, bool& sawOtherKey, double& lastBareUp, KeyFlags flag, KeyFlags others,
                                  Callback& callback) {
        const bool held = (f & flag) != 0;
        if (down && !held) {
            const bool bare = !sawOtherKey && (f & others) == 0 && !fnDown_;
            if (!bare) {
                lastBareUp = 0;
            } else if (lastBareUp > 0 && now - lastBareUp <= kDoubleTapWindow) {
                lastBareUp = 0;
                if (callback) callback();
            } else {
                lastBareUp = now;
            }
            sawOtherKey = false;
        } else if (!down && held) {
            sawOtherKey = (f & others) != 0;
        }
        down = held;
    };
    bareModifier(optionDown_, optionSawOtherKey_, lastBareOptionUp_, flags::kOption, kOthersOfOption, onRead);
    bareModifier(controlDown_, controlSawOtherKey_, lastBareControlUp_, flags::kControl, kOthersOfControl, onTranslate);
}

// ---- fn presses ----

void HotKeyMonitor::applyFn(bool down, bool combined, bool compose) {
    if (!onMainExecutor()) {
        main_.post([this, alive = std::weak_ptr<bool>(alive_), down, combined, compose] {
            if (auto live = alive.lock(); live && *live) applyFn(down, combined, compose);
        });
        return;
    }
    if (!down) {
        if (fnDown_) finishFnPress();
        return;
    }
    if (main_.now() < ignoreFnUntil_ || fnDown_) return;
    composePress = compose;
    if (compose) spoilBareModifiers();
    fnDown_ = true;
    fnSawOtherKey_ = combined;
    fnDownAt_ = main_.now();
    holdStarted_ = false;
    if (!combined) scheduleHoldStart();
}

void HotKeyMonitor::scheduleHoldStart() {
    holdTimer_.reset();
    holdTimer_ = main_.postAfter(kHoldThreshold, [this] {
        if (!fnDown_ || fnSawOtherKey_ || holdStarted_) return;
        holdStarted_ = true;
        if (onSTTHoldStart) onSTTHoldStart();
    });
}

void HotKeyMonitor::finishFnPress() {
    holdTimer_.reset();
    const double now = main_.now();
    if (holdStarted_) {
        holdStarted_ = false;
        if (onSTTHoldEnd) onSTTHoldEnd();
        ignoreFnUntil_ = now + kDeafSecondsAfterAction;
    } else if (!fnSawOtherKey_ && now - fnDownAt_ < kHoldThreshold) {
        if (onSTTToggle) onSTTToggle();
        ignoreFnUntil_ = now + kDeafSecondsAfterAction;
    }
    fnDown_ = false;
    fnSawOtherKey_ = false;
}

void HotKeyMonitor::suppressFn(double seconds) {
    ignoreFnUntil_ = main_.now() + seconds;
    holdTimer_.reset();
    fnDown_ = false;
    fnSawOtherKey_ = false;
    holdStarted_ = false;
}

// ---- helpers ----

void HotKeyMonitor::noteOtherKeyDuringFn() {
    if (fnDown_) fnSawOtherKey_ = true;
}

void HotKeyMonitor::spoilBareModifiers() {
    controlSawOtherKey_ = true;
    optionSawOtherKey_ = true;
    lastBareControlUp_ = 0;
    lastBareOptionUp_ = 0;
}

HotKeyMonitor::Callback& HotKeyMonitor::chordCallback(ports::KeyCode keyCode) {
    if (keyCode == kOutputKeyCode) return onToggleOutput;
    if (keyCode == kFixKeyCode) return onFixSelection;
    return onCycleMode;
}

void HotKeyMonitor::queue(Callback HotKeyMonitor::* callback) {
    main_.post([this, alive = std::weak_ptr<bool>(alive_), callback] {
        auto live = alive.lock();
        if (!live || !*live) return;
        if (const Callback& fn = this->*callback) fn();
    });
}

bool HotKeyMonitor::onMainExecutor() const {
    // Platform sources hand events over on the main thread without being a posted callback.
    const rt::Executor* current = rt::Executor::current();
    return current == nullptr || current == &main_;
}

}  // namespace veska
