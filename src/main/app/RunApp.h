// The `veska` program: checks the desktop, builds the app and runs its event loop.
#pragma once

namespace veska::app {

/// The whole process; returns its exit status.
int runApp(int argc, char** argv);

}  // namespace veska::app
