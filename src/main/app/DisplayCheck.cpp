#include "main/app/DisplayCheck.h"

namespace veska::app {

std::optional<std::string> displayProblem(const ports::Environment& env,
                                          const std::function<bool(const std::string&)>& answers) {
    const std::optional<std::string> display = env.variable("DISPLAY");
    if (!display || display->empty()) {
        const std::optional<std::string> wayland = env.variable("WAYLAND_DISPLAY");
        if (wayland && !wayland->empty()) {
            return "veska: this is a Wayland session without X11 (DISPLAY is not set). Veska needs an X11 "
                   "display: "
                   "log in to an X11 session, or run it under XWayland with DISPLAY set.";
        }
        return "veska: no X11 display (DISPLAY is not set). Veska runs on an X11 desktop.";
    }
    if (!answers(*display)) return "veska: cannot open the X11 display \"" + *display + "\".";
    return std::nullopt;
}

}  // namespace veska::app
