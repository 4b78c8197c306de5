// Reporting the gesture monitor's callbacks in the scenario trace.
#include "main/scenario/GestureObserver.h"

namespace veska::scenario {

namespace {

void wireAll(HotKeyMonitor& m, const std::function<void(HotKeyMonitor::Callback&, const char*, bool)>& wire) {
    wire(m.onSTTToggle, "onSTTToggle", true);
    wire(m.onSTTHoldStart, "onSTTHoldStart", true);
    wire(m.onSTTHoldEnd, "onSTTHoldEnd", false);
    wire(m.onRead, "onRead", false);
    wire(m.onTranslate, "onTranslate", false);
    wire(m.onToggleOutput, "onToggleOutput", false);
    wire(m.onFixSelection, "onFixSelection", false);
    wire(m.onCycleMode, "onCycleMode", false);
    wire(m.onCancel, "onCancel", false);
}

}  // namespace

GestureObserver::GestureObserver(ScenarioWorld& world)
    : world_(world),
      own_(std::make_unique<HotKeyMonitor>(world.loop().main(), world.desktop().keyboard(), world.desktop().ownPid())),
      monitor_(own_.get()) {
    wireAll(*monitor_, [this](HotKeyMonitor::Callback& c, const char* n, bool compose) { wire(c, n, compose); });
    monitor_->start();
}

GestureObserver::GestureObserver(ScenarioWorld& world, HotKeyMonitor& running) : world_(world), monitor_(&running) {
    wireAll(*monitor_, [this](HotKeyMonitor::Callback& c, const char* n, bool compose) { wire(c, n, compose); });
}

void GestureObserver::wire(HotKeyMonitor::Callback& callback, const char* name, bool withCompose) {
    callback = [this, name, withCompose, app = std::move(callback)] {
        fired_.emplace_back(name);
        pending_.push_back({world_.loop().now(), name, withCompose, monitor_->composePress});
        if (app) app();
    };
}

void GestureObserver::sync(TraceWriter& writer, double /*now*/) {
    for (Pending& gesture : pending_) {
        TraceWriter::Fields fields{{"name", std::move(gesture.name)}};
        if (gesture.hasCompose) fields["compose"] = gesture.compose;
        writer.emit(gesture.t, "gesture", std::move(fields));
    }
    pending_.clear();
}

}  // namespace veska::scenario
