// The road of every simulated key: taps, monitors, then the application in front.
#include "platform/sim/SimKeyboard.h"

#include <algorithm>

namespace veska::sim {

using ports::KeyCode;
using ports::KeyEvent;
using ports::KeyEventKind;
using ports::KeyFlags;
using ports::TapVerdict;

struct SimKeyboard::TapState {
    ports::TapRequest request;
    ports::TapHandler handler;
    std::vector<ports::SwallowableKey> swallowable;
    std::shared_ptr<const std::set<KeyCode>> claimedElsewhere;
    bool enabled = true;
    bool alive = true;

    [[nodiscard]] bool mayTake(const KeyEvent& event) const {
        if (claimedElsewhere->contains(event.keyCode)) return false;
        return std::any_of(swallowable.begin(), swallowable.end(),
                           [&](const ports::SwallowableKey& key) { return key.covers(event.keyCode, event.flags); });
    }
};

struct SimKeyboard::MonitorState {
    ports::KeyEventMask mask;
    ports::MonitorHandler handler;
    bool local = false;
    bool alive = true;
};

namespace {

class SimTap final : public ports::KeyTap {
public:
    explicit SimTap(std::shared_ptr<SimKeyboard::TapState> state) : state_(std::move(state)) {}
    // The keyboard drops the state later: the handler may be running right now.
    ~SimTap() override { state_->alive = false; }
    SimTap(const SimTap&) = delete;
    SimTap& operator=(const SimTap&) = delete;

    [[nodiscard]] bool canSwallow() const override {
        return state_->request.options == ports::TapOptions::defaultTap;
    }
    [[nodiscard]] bool isEnabled() const override { return state_->enabled; }
    void setEnabled(bool enabled) override { state_->enabled = enabled; }
    bool setSwallowable(std::vector<ports::SwallowableKey> keys) override {
        const bool allClaimed = std::none_of(keys.begin(), keys.end(), [&](const ports::SwallowableKey& key) {
            return state_->claimedElsewhere->contains(key.keyCode);
        });
        state_->swallowable = std::move(keys);
        return allClaimed;
    }

private:
    std::shared_ptr<SimKeyboard::TapState> state_;
};

class SimMonitor final : public ports::KeyMonitor {
public:
    explicit SimMonitor(std::shared_ptr<SimKeyboard::MonitorState> state) : state_(std::move(state)) {}
    ~SimMonitor() override { state_->alive = false; }
    SimMonitor(const SimMonitor&) = delete;
    SimMonitor& operator=(const SimMonitor&) = delete;

private:
    std::shared_ptr<SimKeyboard::MonitorState> state_;
};

}  // namespace

SimKeyboard::SimKeyboard(rt::Executor& executor, SimWorkspace& workspace, SimPermissions& permissions, SimTrace& trace)
    : executor_(executor), workspace_(workspace), permissions_(permissions), trace_(trace),
      claimedElsewhere_(std::make_shared<std::set<KeyCode>>()) {}

KeyFlags SimKeyboard::heldFlags() const {
    KeyFlags flags = 0;
    for (KeyCode code : held_) flags |= ports::modifierFlagOf(code);
    return flags;
}

std::size_t SimKeyboard::tapCount() const {
    return static_cast<std::size_t>(
        std::count_if(taps_.begin(), taps_.end(), [](const auto& tap) { return tap->alive; }));
}

void SimKeyboard::prune() {
    std::erase_if(taps_, [](const auto& tap) { return !tap->alive; });
    std::erase_if(monitors_, [](const auto& monitor) { return !monitor->alive; });
    std::erase_if(scripted_, [](const rt::Timer& timer) { return !timer.pending(); });
}

void SimKeyboard::press(KeyCode code) {
    const bool wasHeld = held_.contains(code);
    held_.insert(code);
    if (ports::modifierFlagOf(code) != 0) {
        if (!wasHeld) dispatch({.kind = KeyEventKind::flagsChanged, .keyCode = code, .flags = heldFlags()}, heldFlags());
        return;
    }
    dispatch({.kind = KeyEventKind::keyDown, .keyCode = code, .flags = heldFlags(), .autoRepeat = wasHeld}, heldFlags());
}

void SimKeyboard::release(KeyCode code) {
    const bool wasHeld = held_.erase(code) > 0;
    if (ports::modifierFlagOf(code) != 0) {
        if (wasHeld) dispatch({.kind = KeyEventKind::flagsChanged, .keyCode = code, .flags = heldFlags()}, heldFlags());
        return;
    }
    dispatch({.kind = KeyEventKind::keyUp, .keyCode = code, .flags = heldFlags()}, heldFlags());
}

void SimKeyboard::repeat(KeyCode code) {
    dispatch({.kind = KeyEventKind::keyDown, .keyCode = code, .flags = heldFlags(), .autoRepeat = true}, heldFlags());
}

void SimKeyboard::deliver(const KeyEvent& event) { dispatch(event, event.flags); }

void SimKeyboard::runStep(const SimKeyStep& step) {
    switch (step.action) {
    case SimKeyStep::Action::press:
        press(step.keyCode);
        break;
    case SimKeyStep::Action::release:
        release(step.keyCode);
        break;
    case SimKeyStep::Action::tap:
        tap(step.keyCode);
        break;
    case SimKeyStep::Action::repeat:
        repeat(step.keyCode);
        break;
    case SimKeyStep::Action::event:
        deliver(step.event);
        break;
    }
}

void SimKeyboard::script(const std::vector<SimKeyStep>& steps) {
    prune();
    for (const SimKeyStep& step : steps) {
        const double delay = std::max(0.0, step.atSeconds - executor_.now());
        scripted_.push_back(executor_.postAfter(delay, [this, step] { runStep(step); }));
    }
}

void SimKeyboard::deliverPosted(const ports::SyntheticKey& key, std::int32_t sourcePid) {
    KeyEvent event{.keyCode = key.keyCode, .flags = key.flags, .sourcePid = sourcePid};
    if (ports::modifierFlagOf(key.keyCode) != 0) {
        event.kind = KeyEventKind::flagsChanged;
        if (key.down) {
            held_.insert(key.keyCode);
        } else {
            held_.erase(key.keyCode);
        }
    } else {
        event.kind = key.down ? KeyEventKind::keyDown : KeyEventKind::keyUp;
    }
    dispatch(event, key.flags | (heldFlags() & ports::flags::kModifierMask));
}

void SimKeyboard::dispatch(const KeyEvent& event, KeyFlags effective) {
    prune();
    if (swallowedByTap(event)) {
        trace_.add({.kind = TraceKind::keySwallowed, .pid = workspace_.frontmostPid(), .keyCode = event.keyCode,
                    .flags = event.flags, .down = event.kind != KeyEventKind::keyUp});
        return;
    }
    const std::int32_t receiver = workspace_.frontmostPid();
    notifyMonitors(event, receiver);
    if (receiver == 0) return;
    trace_.add({.kind = TraceKind::keyReceived, .pid = receiver, .keyCode = event.keyCode, .flags = effective,
                .down = event.kind == KeyEventKind::keyDown});
    if (receiver_) receiver_(receiver, event, effective);
}

bool SimKeyboard::swallowedByTap(const KeyEvent& event) {
    const auto snapshot = taps_;
    for (const auto& tap : snapshot) {
        if (!tap->alive || !tap->enabled || !tap->request.mask.includes(event.kind)) continue;
        const TapVerdict verdict = tap->handler(event);
        if (verdict != TapVerdict::swallow || !tap->alive) continue;
        if (tap->request.options == ports::TapOptions::defaultTap && tap->mayTake(event)) return true;
    }
    return false;
}

void SimKeyboard::notifyMonitors(const KeyEvent& event, std::int32_t receiver) {
    const bool local = receiver != 0 && receiver == workspace_.ownProcessId();
    if (!local && !permissions_.granted(ports::Permission::accessibility)) return;
    const auto snapshot = monitors_;
    for (const auto& monitor : snapshot) {
        if (monitor->alive && monitor->local == local && monitor->mask.includes(event.kind)) monitor->handler(event);
    }
}

void SimKeyboard::disableTaps(KeyEventKind notice) {
    const auto snapshot = taps_;
    for (const auto& tap : snapshot) {
        if (!tap->alive || !tap->enabled) continue;
        tap->enabled = false;
        tap->handler({.kind = notice});
    }
}

std::unique_ptr<ports::KeyTap> SimKeyboard::createTap(ports::TapRequest request, ports::TapHandler handler) {
    if (!permissions_.granted(ports::Permission::inputMonitoring)) return nullptr;
    if (refused_.contains({request.location, request.options}) || !handler) return nullptr;
    prune();
    auto state = std::make_shared<TapState>();
    state->request = request;
    state->handler = std::move(handler);
    state->claimedElsewhere = claimedElsewhere_;
    // Newest first within a level; every hardware-level tap before every session-level one.
    auto at = taps_.begin();
    if (request.location == ports::TapLocation::session) {
        at = std::find_if(taps_.begin(), taps_.end(),
                          [](const auto& tap) { return tap->request.location == ports::TapLocation::session; });
    }
    taps_.insert(at, state);
    return std::make_unique<SimTap>(std::move(state));
}

std::unique_ptr<ports::KeyMonitor> SimKeyboard::addMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler,
                                                           bool local) {
    prune();
    auto state = std::make_shared<MonitorState>();
    state->mask = mask;
    state->handler = std::move(handler);
    state->local = local;
    if (state->handler) monitors_.push_back(state);
    return std::make_unique<SimMonitor>(std::move(state));
}

std::unique_ptr<ports::KeyMonitor> SimKeyboard::addGlobalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) {
    return addMonitor(mask, std::move(handler), false);
}

std::unique_ptr<ports::KeyMonitor> SimKeyboard::addLocalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) {
    return addMonitor(mask, std::move(handler), true);
}

}  // namespace veska::sim
