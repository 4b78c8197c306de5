// Running a scenario: its steps at their virtual times, the trace, and the expectations.
#pragma once

#include <cstddef>

#include "main/scenario/AppObserver.h"
#include "main/scenario/ClientExchanges.h"
#include "main/scenario/DesktopActions.h"
#include "main/scenario/GestureObserver.h"
#include "main/scenario/Scenario.h"
#include "main/scenario/ScenarioWorld.h"
#include "main/scenario/Timeline.h"
#include "main/scenario/TraceWriter.h"

namespace veska::scenario {

/// What a run found.
struct RunResult {
    std::size_t expectations = 0;
    /// Expectations that did not hold, and steps that could not be performed.
    std::size_t failures = 0;
};

/// Builds the world of one scenario and plays its steps in order: each waits for its "at"
/// time (running everything due before it), acts, then lets what is due at that instant run.
/// The run ends once the last step has acted; nothing scheduled later runs. Every change and
/// event goes to the trace. Lives on the calling thread; one run per runner.
class ScenarioRunner {
public:
    /// Builds the world and checks the steps' references; throws `ScenarioError`.
    ScenarioRunner(const Scenario& scenario, TraceWriter& writer);
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    RunResult run();

    [[nodiscard]] ScenarioWorld& world() { return world_; }
    [[nodiscard]] Timeline& timeline() { return timeline_; }

private:
    void perform(const Step& step);
    void userKey(const UserKey& key);
    void type(const TypeText& type);
    void fail(const Step& step, const std::string& reason);

    const Scenario& scenario_;
    ScenarioWorld world_;
    Timeline timeline_;
    ClientExchanges clients_;
    /// Veska's gesture monitor; owned by the timeline, which reports its callbacks.
    GestureObserver* gestures_ = nullptr;
    /// Veska itself when the scenario runs it; owned by the timeline.
    AppObserver* app_ = nullptr;
    /// Veska's selection service and live typers; destroyed before the timeline and the world.
    DesktopActions actions_;
    double time_ = 0;
    RunResult result_;
};

}  // namespace veska::scenario
