// What the user can observe, in time order: observers that report changes, and direct events.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "main/scenario/ScenarioWorld.h"
#include "main/scenario/TraceWriter.h"

namespace veska::scenario {

/// Reports what changed in one part of the world since its last call, as trace lines.
class Observer {
public:
    virtual ~Observer() = default;
    virtual void sync(TraceWriter& writer, double now) = 0;
};

/// Keeps the trace in time order. Observers are asked for their changes whenever the loop
/// has run a batch of work, after each step, and before any event written directly, so a
/// change always comes out before the event that followed it. Lives on the loop's thread.
class Timeline {
public:
    /// Starts with the desktop and service observers.
    Timeline(ScenarioWorld& world, TraceWriter& writer);

    /// Adds an observer (the HUD, a controller's state...); it reports from the next sync on.
    void add(std::unique_ptr<Observer> observer) { observers_.push_back(std::move(observer)); }
    /// Lets every observer report its changes.
    void sync();
    /// Writes `event` now, after the changes that came before it.
    void emit(std::string_view event, TraceWriter::Fields fields, bool failure = false);

    /// Runs the loop to virtual time `target`, reporting changes after each batch of work.
    void advanceTo(double target);
    /// Runs what is ready at the current time, then reports.
    void settle();

    [[nodiscard]] TraceWriter& writer() { return writer_; }

private:
    ScenarioWorld& world_;
    TraceWriter& writer_;
    std::vector<std::unique_ptr<Observer>> observers_;
};

}  // namespace veska::scenario
