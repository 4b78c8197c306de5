// Observing the simulated desktop: its trace of keys, clipboard and activations, and fields.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "main/scenario/Timeline.h"

namespace veska::scenario {

/// Turns the desktop's new trace entries into trace lines (keys posted, swallowed, received
/// and handled; clipboard writes; activations; accessibility writes and time-outs; permission
/// questions), then reports each text element whose text or selection changed. The first
/// sync reports every text element.
class DesktopObserver final : public Observer {
public:
    explicit DesktopObserver(ScenarioWorld& world) : world_(world) {}
    void sync(TraceWriter& writer, double now) override;

private:
    struct FieldState {
        std::u16string text;
        ports::TextRange selection;
    };
    void entry(TraceWriter& writer, const sim::TraceEntry& entry);
    void fields(TraceWriter& writer, double now);

    ScenarioWorld& world_;
    /// Entries reported so far, counting those the desktop's trace dropped.
    std::size_t reported_ = 0;
    std::map<std::uint64_t, FieldState> fields_;
};

}  // namespace veska::scenario
