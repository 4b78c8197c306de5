// Reporting the gesture monitor's callbacks in the scenario trace.
#include "main/scenario/GestureObserver.h"

namespace veska::scenario {

GestureObserver::GestureObserver(ScenarioWorld& world)
    : world_(world), monitor_(world.loop().main(), world.desktop().keyboard(), world.desktop().ownPid()) {
    wire(monitor_.onSTTToggle, "onSTTToggle", true);
    wire(monitor_.onSTTHoldStart, "onSTTHoldStart", true);
    wire(monitor_.onSTTHoldEnd, "onSTTHoldEnd", false);
    wire(monitor_.onRead, "onRead", false);
    wire(monitor_.onTranslate, "onTranslate", false);
    wire(monitor_.onToggleOutput, "onToggleOutput", false);
    wire(monitor_.onFixSelection, "onFixSelection", false);
    wire(monitor_.onCycleMode, "onCycleMode", false);
    wire(monitor_.onCancel, "onCancel", false);
    monitor_.start();
}

void GestureObserver::wire(HotKeyMonitor::Callback& callback, const char* name, bool withCompose) {
    callback = [this, name, withCompose] {
        fired_.emplace_back(name);
        pending_.push_back({world_.loop().now(), name, withCompose, monitor_.composePress});
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
