// What keys do to the simulated applications: delete, paste, copy, select all, typing.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/sim/SimElementTree.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/SimWorkspace.h"
#include "ports/KeyEventSource.h"

namespace veska::sim {

/// Acts on the keys an application receives, on its focused element, in arrival order. An
/// application with a key delay acts on each key that long after receiving it (a paste reads
/// the pasteboard then). Key-downs only; modifiers in force decide the action:
/// - Delete: the selection, else one user-perceived character; with Option or Control one
///   word; with Command back to the start of the line.
/// - the shortcut modifier (Command) + V pastes the plain text over the selection, + C copies
///   a non-empty selection with the element's rich forms, + A selects everything; any other
///   modifier added to the shortcut makes these keys do nothing.
/// - Left/Right move the caret by one character; Return adds a line break in text areas.
/// - letter, digit and space keys without Command or Control type their character.
/// Keys reaching an element that is not editable do nothing, except copy.
class SimKeyEffects {
public:
    SimKeyEffects(rt::Executor& executor, SimWorkspace& workspace, SimElementTree& tree, SimPasteboard& pasteboard,
                  SimTrace& trace)
        : executor_(executor), workspace_(workspace), tree_(tree), pasteboard_(pasteboard), trace_(trace) {}

    /// The application `pid` received `event` with `effective` modifiers in force.
    void receive(std::int32_t pid, const ports::KeyEvent& event, ports::KeyFlags effective);

private:
    void handle(std::int32_t pid, ports::KeyCode code, ports::KeyFlags effective);
    /// What the key did, for the trace; empty when nothing.
    std::string act(const SimApp& app, SimElement* element, ports::KeyCode code, ports::KeyFlags modifiers);
    std::string shortcut(SimElement* element, ports::KeyCode code);

    rt::Executor& executor_;
    SimWorkspace& workspace_;
    SimElementTree& tree_;
    SimPasteboard& pasteboard_;
    SimTrace& trace_;
    std::map<std::int32_t, double> busyUntil_;
    std::vector<rt::Timer> pending_;
};

}  // namespace veska::sim
