// The simulated keyboard: user keys, posted keys, taps that swallow and monitors that watch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/sim/SimPermissions.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/SimWorkspace.h"
#include "ports/KeyEventSource.h"
#include "ports/KeyPoster.h"

namespace veska::sim {

/// One step of a key script, run at virtual time `atSeconds` (absolute loop time).
struct SimKeyStep {
    enum class Action { press, release, tap, repeat, event };
    double atSeconds = 0;
    Action action = Action::tap;
    ports::KeyCode keyCode = 0;
    /// For `event`: delivered as it is, as if the keyboard made it.
    ports::KeyEvent event{};
};

/// Every key, from the user or posted, takes one road: the taps (HID level first, newest
/// first at each level), then the monitors (local ones when Veska is in front, global ones
/// otherwise, only while Veska is trusted for accessibility), then the application in front.
/// A tap's swallow ends the road when the tap can swallow and declared the key. The keyboard
/// keeps the modifier state: modifiers the user holds mix into posted keys until a key-up of
/// them is posted. Lives on the loop's thread; handlers run inline, on the loop's thread.
class SimKeyboard final : public ports::KeyEventSource {
public:
    /// Told of each key an application receives, with the modifiers in force for it.
    using Receiver = std::function<void(std::int32_t pid, const ports::KeyEvent& event, ports::KeyFlags effective)>;

    SimKeyboard(rt::Executor& executor, SimWorkspace& workspace, SimPermissions& permissions, SimTrace& trace);

    void setReceiver(Receiver receiver) { receiver_ = std::move(receiver); }

    /// The user presses a key now (a modifier or fn gives a flags-changed event).
    void press(ports::KeyCode code);
    void release(ports::KeyCode code);
    void tap(ports::KeyCode code) {
        press(code);
        release(code);
    }
    /// An auto-repeat key-down of a key the user holds.
    void repeat(ports::KeyCode code);
    /// Delivers an event as the keyboard made it (source process id as given).
    void deliver(const ports::KeyEvent& event);
    /// Runs the steps at their times. Steps in the past run at once, in order.
    void script(const std::vector<SimKeyStep>& steps);
    void runStep(const SimKeyStep& step);

    /// A key posted by a program (Veska, or an automation service).
    void deliverPosted(const ports::SyntheticKey& key, std::int32_t sourcePid);

    /// The system disables every enabled tap and tells each with `notice`.
    void disableTaps(ports::KeyEventKind notice);
    /// Another program holds `code`: taps cannot claim it.
    void claimByOtherProgram(ports::KeyCode code) { claimedElsewhere_->insert(code); }
    /// Taps at this place and mode cannot be made.
    void refuseTaps(ports::TapLocation location, ports::TapOptions options) { refused_.insert({location, options}); }

    /// The modifier flags in force now (held by the user or by posted key-downs).
    [[nodiscard]] ports::KeyFlags heldFlags() const;
    [[nodiscard]] std::size_t tapCount() const;

    std::unique_ptr<ports::KeyTap> createTap(ports::TapRequest request, ports::TapHandler handler) override;
    std::unique_ptr<ports::KeyMonitor> addGlobalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) override;
    std::unique_ptr<ports::KeyMonitor> addLocalMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler) override;

    struct TapState;
    struct MonitorState;

private:
    void dispatch(const ports::KeyEvent& event, ports::KeyFlags effective);
    bool swallowedByTap(const ports::KeyEvent& event);
    void notifyMonitors(const ports::KeyEvent& event, std::int32_t receiver);
    std::unique_ptr<ports::KeyMonitor> addMonitor(ports::KeyEventMask mask, ports::MonitorHandler handler, bool local);
    void prune();

    rt::Executor& executor_;
    SimWorkspace& workspace_;
    SimPermissions& permissions_;
    SimTrace& trace_;
    Receiver receiver_;
    std::set<ports::KeyCode> held_;
    std::shared_ptr<std::set<ports::KeyCode>> claimedElsewhere_;
    std::set<std::pair<ports::TapLocation, ports::TapOptions>> refused_;
    std::vector<std::shared_ptr<TapState>> taps_;
    std::vector<std::shared_ptr<MonitorState>> monitors_;
    std::vector<rt::Timer> scripted_;
};

}  // namespace veska::sim
