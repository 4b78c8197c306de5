// A desktop with a notes application in front, Veska started on it, and helpers to drive takes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"
#include "main/appsim/DictationWorld.h"
#include "platform/sim/SimDesktop.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

struct RigOptions {
    std::string provider = "chatgpt_web";
    bool microphone = true;
    bool accessibility = true;
    bool inputMonitoring = true;
    bool english = true;
    /// The target's bundle identifier ("com.apple.TextEdit" takes text through accessibility).
    std::string targetBundle = "com.apple.TextEdit";
    std::string fieldText = "";
};

/// Builds the world and runs the start-up (one virtual second).
class DictationRig {
public:
    explicit DictationRig(RigOptions options = {}) {
        auto& perms = desktop.permissions();
        perms.setGranted(ports::Permission::microphone, options.microphone);
        perms.setGranted(ports::Permission::accessibility, options.accessibility);
        perms.setGranted(ports::Permission::inputMonitoring, options.inputMonitoring);
        notes = desktop.launchApp({.bundleIdentifier = options.targetBundle, .localizedName = "Notes"}, true);
        field = desktop.addFocusedField(notes, {.role = "AXTextArea", .text = options.fieldText});
        world = std::make_unique<appsim::DictationWorld>(loop, desktop);
        world->prefs.set(UserDefaults::kSttProvider, options.provider);
        world->prefs.set(UserDefaults::kOpenedOnce, true);
        world->core.preferences = nlohmann::json{{"locale", options.english ? "en" : "vi"}};
        world->launch();
        loop.runFor(1);
        world->log.takeNew();
    }
    ~DictationRig() {
        world.reset();
        loop.runUntilIdle();
    }

    AppState& app() { return world->app(); }
    std::string fieldText() { return desktop.text(field); }
    std::optional<std::string> clipboard() { return desktop.pasteboard().plainText(); }

    /// fn tapped (as the gesture monitor calls it).
    void tap(double thenSeconds = 0.5) {
        app().toggleSTT();
        loop.runFor(thenSeconds);
    }

    /// The HUD states shown since the last call, as "state" or "state: text" (the whole message
    /// of an error or a notice).
    std::vector<std::string> hudStates() {
        std::vector<std::string> out;
        for (const auto& event : world->log.takeNew()) {
            if (event.event != "hud") continue;
            std::string line = event.fields["state"].get<std::string>();
            if (event.fields.contains("message")) {
                line += ": " + event.fields["message"].get<std::string>();
            } else if (event.fields.contains("text")) {
                line += ": " + event.fields["text"].get<std::string>();
            }
            out.push_back(line);
        }
        return out;
    }

    rt::VirtualLoop loop;
    sim::SimDesktop desktop{loop.main()};
    std::int32_t notes = 0;
    std::uint64_t field = 0;
    std::unique_ptr<appsim::DictationWorld> world;
};

using States = std::vector<std::string>;

}  // namespace veska::testing
