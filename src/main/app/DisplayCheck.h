// Whether this session can carry Veska: an X11 display that answers.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ports/Environment.h"

namespace veska::app {

/// Nothing when the display named by DISPLAY answers; otherwise the message to print. A
/// Wayland session without X11 (WAYLAND_DISPLAY set, DISPLAY not) says so. `answers` tries to
/// connect to the named display.
[[nodiscard]] std::optional<std::string> displayProblem(
    const ports::Environment& env, const std::function<bool(const std::string&)>& answers);

}  // namespace veska::app
