// AT-SPI roles told as the port's role names.
#pragma once

#include <string_view>

#include <atspi/atspi.h>

namespace veska::platform {

/// The port's role name of an AT-SPI role; `multiLine` and `editable` are the element's
/// MULTI_LINE and EDITABLE states (a one-line entry is a text field, a text view an area).
[[nodiscard]] std::string_view roleName(AtspiRole role, bool multiLine, bool editable);

}  // namespace veska::platform
