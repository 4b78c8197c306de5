// What the user can do about a permission Veska lacks on this desktop.
#pragma once

#include <string>

#include "ports/Permissions.h"

namespace veska::platform {

/// The help text for `permission`, in the interface language.
[[nodiscard]] std::string permissionHelpText(ports::Permission permission);

/// Shows the help in a small window of Veska's own (there is no system settings pane for these
/// on X11). GUI thread.
void showPermissionHelp(ports::Permission permission);

}  // namespace veska::platform
