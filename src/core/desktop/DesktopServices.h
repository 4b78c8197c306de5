// The platform services the desktop input and output code works through, bundled.
#pragma once

#include "ports/Accessibility.h"
#include "ports/KeyEventSource.h"
#include "ports/KeyPoster.h"
#include "ports/Pasteboard.h"
#include "ports/Permissions.h"
#include "ports/Workspace.h"
#include "runtime/Executor.h"

namespace veska {

/// What the gesture monitor, the selection service and the live typer need from the desktop.
/// Everything referenced outlives the objects built on it. `main` is the main executor;
/// `lookups` the serial queue selection look-ups run on; `liveTyper` the serial queue
/// "veska.live-typer" all live typing runs on.
struct DesktopServices {
    rt::Executor& main;
    rt::Executor& lookups;
    rt::Executor& liveTyper;
    ports::KeyEventSource& keys;
    ports::KeyPoster& poster;
    ports::Pasteboard& pasteboard;
    ports::Accessibility& accessibility;
    ports::Workspace& workspace;
    ports::Permissions& permissions;
};

}  // namespace veska
