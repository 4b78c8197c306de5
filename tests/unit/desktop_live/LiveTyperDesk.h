// A simulated desktop with an application to dictate into, and a live typer aimed at it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/desktop/LiveTyper.h"
#include "core/desktop/SelectionService.h"
#include "platform/sim/SimDesktop.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

/// How the target application takes text.
enum class Route {
    /// An editor built on web technology: everything goes by Delete and paste keys.
    keys,
    /// A native text area: the tail is replaced through accessibility.
    accessibility,
    /// Keys cannot be posted (no input monitoring): the automation service types instead.
    automation,
};

inline const char* routeName(Route route) {
    switch (route) {
    case Route::keys: return "keys";
    case Route::accessibility: return "accessibility";
    case Route::automation: return "automation";
    }
    return "?";
}

/// How the target application behaves when asked to come to the front.
struct TargetOptions {
    double activationDelaySeconds = 0;
    bool refusesActivation = false;
    double keyDelaySeconds = 0;
};

/// The desktop: the target in front with an empty focused field, a second application with
/// a field of its own in the background, and the user's clipboard. The typer is made by
/// `start()`, after the test has set the desktop up.
class LiveTyperDesk {
public:
    explicit LiveTyperDesk(Route route, std::optional<std::string> clipboard = "user's clipboard",
                           TargetOptions options = {}) {
        desktop.permissions().setGranted(ports::Permission::inputMonitoring, route != Route::automation);
        const std::string bundle = route == Route::accessibility ? "com.apple.TextEdit" : "com.microsoft.VSCode";
        target = desktop.launchApp({.bundleIdentifier = bundle,
                                    .localizedName = "Target",
                                    .activationDelaySeconds = options.activationDelaySeconds,
                                    .refusesActivation = options.refusesActivation,
                                    .keyDelaySeconds = options.keyDelaySeconds},
                                   true);
        field = desktop.addFocusedField(target, {.role = "AXTextArea", .text = ""});
        other = desktop.launchApp({.bundleIdentifier = "com.example.Mail", .localizedName = "Mail"});
        otherField = desktop.addFocusedField(other, {.role = "AXTextArea", .text = "draft"});
        if (clipboard) desktop.pasteboard().writeFromApp(other, {.plainText = *clipboard});
    }

    void start(bool withTarget = true) {
        std::optional<ports::RunningApp> app;
        if (withTarget) app = desktop.workspace().application(target);
        typer = std::make_unique<LiveTyper>(selection, app);
    }

    /// Hands the typer one partial transcript and lets `seconds` of virtual time pass.
    void say(const std::string& text, double seconds = 1.0) {
        typer->update(text);
        loop.runFor(seconds);
    }
    bool settle(const std::string& text) { return loop.run(typer->settle(text), 60); }
    void retract() { loop.run(typer->retract(), 60); }

    [[nodiscard]] std::string fieldText() { return desktop.text(field); }
    [[nodiscard]] std::optional<std::string> clipboard() { return desktop.pasteboard().plainText(); }

    /// Marks the trace, so that the counts below cover only what follows.
    void mark() { from = desktop.trace().entries().size(); }
    /// Key-downs of `code` that `pid` received since the mark.
    [[nodiscard]] std::size_t received(std::int32_t pid, ports::KeyCode code) {
        const std::vector<sim::TraceEntry> entries = sinceMark();
        return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), [&](const sim::TraceEntry& e) {
            return e.kind == sim::TraceKind::keyReceived && e.pid == pid && e.down && e.keyCode == code;
        }));
    }
    /// Every key event (down or up, modifiers too) any application other than the target
    /// received since the mark.
    [[nodiscard]] std::size_t keysElsewhere() {
        const std::vector<sim::TraceEntry> entries = sinceMark();
        return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), [&](const sim::TraceEntry& e) {
            return e.kind == sim::TraceKind::keyReceived && e.pid != target;
        }));
    }
    /// Virtual times at which keys of `code` were posted down since the mark.
    [[nodiscard]] std::vector<double> postedAt(ports::KeyCode code) {
        std::vector<double> times;
        for (const sim::TraceEntry& e : sinceMark()) {
            if (e.kind == sim::TraceKind::keyPosted && e.down && e.keyCode == code) times.push_back(e.time);
        }
        return times;
    }

    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    DesktopServices services{loop.main(),           loop.lane("veska.lookups"),  loop.lane("veska.live-typer"),
                             desktop.keyboard(),    desktop.keyPoster(),        desktop.pasteboard(),
                             desktop.accessibility(), desktop.workspace(),      desktop.permissions()};
    SelectionService selection{services};
    std::int32_t target = 0;
    std::uint64_t field = 0;
    std::int32_t other = 0;
    std::uint64_t otherField = 0;
    std::unique_ptr<LiveTyper> typer;

private:
    [[nodiscard]] std::vector<sim::TraceEntry> sinceMark() {
        const auto& entries = desktop.trace().entries();
        return {entries.begin() + static_cast<std::ptrdiff_t>(std::min(from, entries.size())), entries.end()};
    }
    std::size_t from = 0;
};

}  // namespace veska::testing
