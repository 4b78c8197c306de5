// Veska's selection service and live typer driven by scenario steps, their results as trace lines.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/desktop/LiveTyper.h"
#include "core/desktop/SelectionService.h"
#include "main/scenario/Expectations.h"
#include "main/scenario/Scenario.h"
#include "main/scenario/Timeline.h"
#include "runtime/Spawn.h"

namespace veska::scenario {

/// Lines that asynchronous work produced, written at the time each was produced once the
/// timeline next asks. Owned by the timeline; lives on the loop's thread.
class ResultLines final : public Observer {
public:
    void add(double t, std::string event, TraceWriter::Fields fields, bool failure = false);
    void sync(TraceWriter& writer, double now) override;

private:
    struct Line {
        double t = 0;
        std::string event;
        TraceWriter::Fields fields;
        bool failure = false;
    };
    std::vector<Line> pending_;
};

/// Builds Veska's `SelectionService` on the world's ports (main: the loop's main lane;
/// look-ups: lane "veska.selection"; live typing: lane "veska.live-typer") and performs the
/// look-up, insertion and live-typing steps. Asynchronous operations run on the main lane in
/// virtual time; each reports its result when it ends. Destroy it before the world.
class DesktopActions {
public:
    DesktopActions(ScenarioWorld& world, Timeline& timeline);
    ~DesktopActions();
    DesktopActions(const DesktopActions&) = delete;
    DesktopActions& operator=(const DesktopActions&) = delete;

    /// Each returns why the step could not be performed, or nothing.
    std::optional<std::string> lookup(std::size_t step, const Lookup& lookup);
    std::optional<std::string> insert(std::size_t step, const Insert& insert);
    std::optional<std::string> liveStart(const LiveStart& start);
    std::optional<std::string> liveUpdate(const LiveUpdate& update);
    std::optional<std::string> liveSettle(std::size_t step, const LiveSettle& settle);
    std::optional<std::string> liveRetract(std::size_t step);

    /// Reports every operation still running as a failed step; returns how many there were.
    std::size_t reportUnfinished();
    /// Operations that ended by failing (an error thrown inside them).
    [[nodiscard]] std::size_t failures() const { return failures_; }
    [[nodiscard]] const std::optional<FoundSelection>& lastLookup() const { return lastLookup_; }

private:
    rt::Task<void> lookupTask(std::size_t step);
    rt::Task<void> axOnlyTask(std::size_t step);
    rt::Task<void> insertTask(std::size_t step, std::string text, std::optional<ports::RunningApp> app);
    rt::Task<void> settleTask(std::size_t step, LiveTyper* typer, std::string text);
    rt::Task<void> retractTask(std::size_t step, LiveTyper* typer);
    /// Starts `work` for `step`, noting it as running until it ends.
    void start(std::size_t step, std::string operation, rt::Task<void> work);
    void finished(std::size_t step, std::string event, TraceWriter::Fields fields);
    void failed(std::size_t step, const std::string& reason);
    /// The running application `app` names (none: the one in front); none when it is not running.
    std::optional<ports::RunningApp> application(const std::optional<AppRef>& app) const;

    ScenarioWorld& world_;
    Timeline& timeline_;
    ResultLines* lines_ = nullptr;
    SelectionService selection_;
    /// Every dictation's typer, the current one last; kept until the end so that a settle or
    /// retract still running never outlives its typer.
    std::vector<std::unique_ptr<LiveTyper>> typers_;
    std::optional<FoundSelection> lastLookup_;
    /// The operations running, by step index.
    std::map<std::size_t, std::string> running_;
    std::size_t failures_ = 0;
    /// Last: destroyed first, so no operation resumes after the objects it uses are gone.
    rt::Scope scope_;
};

}  // namespace veska::scenario
