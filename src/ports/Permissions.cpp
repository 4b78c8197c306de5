// Names of the system permissions.
#include "ports/Permissions.h"

namespace veska::ports {

std::string_view permissionName(Permission permission) {
    switch (permission) {
    case Permission::microphone: return "microphone";
    case Permission::accessibility: return "accessibility";
    case Permission::inputMonitoring: return "inputMonitoring";
    case Permission::screenRecording: return "screenRecording";
    }
    return "unknown";
}

}  // namespace veska::ports
