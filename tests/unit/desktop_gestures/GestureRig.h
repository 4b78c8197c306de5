// A gesture monitor on a simulated desktop, driven by key scripts on virtual time.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/desktop/HotKeyMonitor.h"
#include "platform/sim/SimDesktop.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

namespace k = ports::keys;
using Action = sim::SimKeyStep::Action;

inline sim::SimKeyStep press(double at, ports::KeyCode code) { return {.atSeconds = at, .action = Action::press, .keyCode = code}; }
inline sim::SimKeyStep release(double at, ports::KeyCode code) {
    return {.atSeconds = at, .action = Action::release, .keyCode = code};
}
inline sim::SimKeyStep tap(double at, ports::KeyCode code) { return {.atSeconds = at, .action = Action::tap, .keyCode = code}; }
inline sim::SimKeyStep repeat(double at, ports::KeyCode code) { return {.atSeconds = at, .action = Action::repeat, .keyCode = code}; }
/// An event as the keyboard made it, with its own flags and source process.
inline sim::SimKeyStep event(double at, ports::KeyEvent e) { return {.atSeconds = at, .action = Action::event, .event = e}; }

/// A "Notes" application in front, a monitor whose callbacks are recorded as "name@time".
class GestureRig {
public:
    GestureRig() {
        appPid = desktop.launchApp({.bundleIdentifier = "org.example.Notes", .localizedName = "Notes"}, true);
        desktop.addFocusedField(appPid, {.role = "AXTextArea", .text = ""});
        record(monitor.onSTTToggle, "toggle", true);
        record(monitor.onSTTHoldStart, "holdStart", true);
        record(monitor.onSTTHoldEnd, "holdEnd");
        record(monitor.onRead, "read");
        record(monitor.onTranslate, "translate");
        record(monitor.onToggleOutput, "output");
        record(monitor.onFixSelection, "fix");
        record(monitor.onCycleMode, "mode");
        record(monitor.onCancel, "cancel");
    }

    /// Plays `steps` and lets virtual time run to `until`.
    std::vector<std::string> play(const std::vector<sim::SimKeyStep>& steps, double until = 5) {
        desktop.keyboard().script(steps);
        loop.runFor(until - loop.now());
        return fired;
    }
    /// How many events of `code` (key-downs and modifier changes) the application in front got.
    [[nodiscard]] int received(ports::KeyCode code) {
        int count = 0;
        for (const auto& entry : desktop.trace().ofKind(sim::TraceKind::keyReceived)) {
            if (entry.pid == appPid && entry.keyCode == code && (entry.down || ports::modifierFlagOf(code) != 0)) ++count;
        }
        return count;
    }

    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    HotKeyMonitor monitor{loop.main(), desktop.keyboard(), desktop.ownPid()};
    std::int32_t appPid = 0;
    std::vector<std::string> fired;

private:
    void record(HotKeyMonitor::Callback& callback, std::string name, bool withCompose = false) {
        callback = [this, name, withCompose] {
            char at[32];
            std::snprintf(at, sizeof at, "@%.3f", loop.now());
            fired.push_back(name + (withCompose && monitor.composePress ? "+compose" : "") + at);
        };
    }
};

using Fired = std::vector<std::string>;

/// What kind of tap the platform lets the monitor have.
enum class TapMode { swallowing, listenOnly, none };

inline const char* modeName(TapMode mode) {
    switch (mode) {
    case TapMode::swallowing: return "swallowing tap";
    case TapMode::listenOnly: return "listen-only tap";
    case TapMode::none: return "no tap";
    }
    return "";
}

/// Refuses the places a tap of `mode` must not get, then starts the monitor.
inline void startWith(GestureRig& rig, TapMode mode) {
    auto& keyboard = rig.desktop.keyboard();
    if (mode != TapMode::swallowing) {
        keyboard.refuseTaps(ports::TapLocation::hid, ports::TapOptions::defaultTap);
        keyboard.refuseTaps(ports::TapLocation::session, ports::TapOptions::defaultTap);
    }
    if (mode == TapMode::none) rig.desktop.permissions().setGranted(ports::Permission::inputMonitoring, false);
    rig.monitor.start();
}

}  // namespace veska::testing
