// Veska's gesture monitor on the scenario's keyboard, its callbacks as trace lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/desktop/HotKeyMonitor.h"
#include "main/scenario/Timeline.h"

namespace veska::scenario {

/// Builds a `HotKeyMonitor` on the world's keyboard and main executor, starts it, and
/// reports each callback it makes as a `gesture` line at the time it was made (after the
/// desktop's lines of that instant). Owned by the timeline; lives on the loop's thread.
class GestureObserver final : public Observer {
public:
    explicit GestureObserver(ScenarioWorld& world);
    /// Watches a monitor Veska's start-up already wired and started: each callback is reported,
    /// then the application's own runs.
    GestureObserver(ScenarioWorld& world, HotKeyMonitor& running);

    void sync(TraceWriter& writer, double now) override;

    [[nodiscard]] HotKeyMonitor& monitor() { return *monitor_; }
    /// Every callback made so far, by name, in order.
    [[nodiscard]] const std::vector<std::string>& fired() const { return fired_; }

private:
    struct Pending {
        double t = 0;
        std::string name;
        /// For the dictation gestures: whether the press was made with Control alone.
        bool hasCompose = false;
        bool compose = false;
    };
    void wire(HotKeyMonitor::Callback& callback, const char* name, bool withCompose);

    ScenarioWorld& world_;
    std::vector<std::string> fired_;
    std::vector<Pending> pending_;
    std::unique_ptr<HotKeyMonitor> own_;
    HotKeyMonitor* monitor_ = nullptr;
};

}  // namespace veska::scenario
