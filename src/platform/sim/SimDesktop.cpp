// Wiring of the simulated desktop's parts.
#include "platform/sim/SimDesktop.h"

#include "runtime/Check.h"

namespace veska::sim {

SimDesktop::SimDesktop(rt::Executor& executor, SimDesktopOptions options)
    : trace_(executor),
      permissions_(executor, trace_),
      workspace_(executor, trace_, options.ownPid),
      pasteboard_(trace_, options.ownPid),
      accessibility_(tree_, workspace_, permissions_, trace_),
      keyboard_(executor, workspace_, permissions_, trace_),
      effects_(executor, workspace_, tree_, pasteboard_, trace_),
      poster_(keyboard_, workspace_, permissions_, trace_) {
    keyboard_.setReceiver([this](std::int32_t pid, const ports::KeyEvent& event, ports::KeyFlags effective) {
        effects_.receive(pid, event, effective);
    });
    workspace_.launch({.pid = options.ownPid,
                       .bundleIdentifier = options.ownBundleIdentifier,
                       .localizedName = options.ownName});
}

std::int32_t SimDesktop::launchApp(SimAppSpec desc, bool frontmost) {
    const std::int32_t pid = workspace_.launch(std::move(desc));
    if (frontmost) workspace_.bringToFront(pid);
    return pid;
}

std::uint64_t SimDesktop::addElement(std::int32_t pid, std::uint64_t parent, const SimElementSpec& desc) {
    return tree_.add(pid, parent, desc);
}

std::uint64_t SimDesktop::addFocusedField(std::int32_t pid, const SimElementSpec& field) {
    const std::uint64_t window = tree_.add(pid, 0, {.role = std::string(ports::roles::kWindow), .title = "Untitled"});
    const std::uint64_t id = tree_.add(pid, window, field);
    tree_.focus(pid, id);
    return id;
}

SimElement& SimDesktop::element(std::uint64_t id) {
    SimElement* e = tree_.find(id);
    VESKA_CHECK(e != nullptr, "no such simulated element");
    return *e;
}

}  // namespace veska::sim
