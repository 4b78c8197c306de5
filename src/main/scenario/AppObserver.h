// Veska itself on the scenario's desktop: its start-up, its HUD and menu icon in the trace.
#pragma once

#include <memory>

#include "main/appsim/DictationWorld.h"
#include "main/scenario/Scenario.h"
#include "main/scenario/Timeline.h"

namespace veska::scenario {

/// Builds Veska's controller on the world's loop and desktop with the scenario's settings and
/// simulated services, runs its start-up, and reports what it showed (HUD states and their
/// text, the preview of what was heard, the menu-bar icon, windows it opened, requests to its
/// AI engines and local core) as trace lines at the time they happened. Owned by the timeline.
class AppObserver final : public Observer {
public:
    AppObserver(ScenarioWorld& world, const AppSpec& setup);
    ~AppObserver() override;
    AppObserver(const AppObserver&) = delete;
    AppObserver& operator=(const AppObserver&) = delete;

    void sync(TraceWriter& writer, double now) override;

    [[nodiscard]] appsim::DictationWorld& app() { return *app_; }

private:
    std::unique_ptr<appsim::DictationWorld> app_;
};

}  // namespace veska::scenario
