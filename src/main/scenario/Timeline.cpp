// Ordering observations and events on virtual time.
#include "main/scenario/Timeline.h"

#include <algorithm>

#include "main/scenario/DesktopObserver.h"
#include "main/scenario/ServiceObserver.h"

namespace veska::scenario {

Timeline::Timeline(ScenarioWorld& world, TraceWriter& writer) : world_(world), writer_(writer) {
    add(std::make_unique<DesktopObserver>(world));
    add(std::make_unique<ServiceObserver>(world));
}

void Timeline::sync() {
    const double now = world_.loop().now();
    for (const auto& observer : observers_) observer->sync(writer_, now);
}

void Timeline::emit(std::string_view event, TraceWriter::Fields fields, bool failure) {
    sync();
    writer_.emit(world_.loop().now(), event, std::move(fields), failure);
}

void Timeline::advanceTo(double target) {
    auto& loop = world_.loop();
    loop.runUntil(
        [this] {
            sync();
            return false;
        },
        std::max(0.0, target - loop.now()));
    loop.runFor(std::max(0.0, target - loop.now()));
    sync();
}

void Timeline::settle() {
    world_.loop().runUntilIdle();
    sync();
}

}  // namespace veska::scenario
