// The child-process port on Linux: posix_spawn, pipes for output, a watcher thread per process.
#pragma once

#include <memory>

#include "ports/Processes.h"

namespace veska::platform {

/// Launches programs with posix_spawn (no shell, no search of PATH). Each process gets a
/// watcher thread that reads its captured output, reaps it when it ends and reports the end to
/// every waiter on its own executor; the watcher outlives the handle, so a dropped process is
/// still reaped. Usable from any executor.
class PosixProcesses final : public ports::Processes {
public:
    std::unique_ptr<ports::Process> launch(ports::ProcessLaunch launch) override;
};

}  // namespace veska::platform
