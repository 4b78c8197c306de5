// The application windows of an X desktop: which one is active, and whose they are.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/x11/X11Connection.h"

namespace veska::platform {

/// A top-level application window and what it says about itself.
struct ClientWindow {
    Window window = 0;
    std::int32_t pid = 0;  ///< _NET_WM_PID; 0 when the window does not say
    std::string instance;  ///< WM_CLASS instance ("xterm")
    std::string windowClass;  ///< WM_CLASS class ("XTerm")
};

/// The application windows: the window manager's _NET_CLIENT_LIST, or without a window
/// manager the viewable children of the root that carry WM_CLASS. Stacking order.
[[nodiscard]] std::vector<ClientWindow> clientWindows(X11Connection& x);

/// The window that receives keys: the window manager's _NET_ACTIVE_WINDOW, or the input focus
/// climbed to the nearest window carrying WM_CLASS. Nothing when no application has it.
[[nodiscard]] std::optional<ClientWindow> activeClientWindow(X11Connection& x);

/// Reads pid and class of one window.
[[nodiscard]] ClientWindow describeWindow(X11Connection& x, Window window);

/// Whether the window manager handles `_NET_ACTIVE_WINDOW` requests.
[[nodiscard]] bool supportsActiveWindowRequests(X11Connection& x);

/// Brings `window` to the front with the keyboard focus: through the window manager when there
/// is one, otherwise by raising and focusing it directly. False when the server refused.
bool activateWindow(X11Connection& x, Window window);

}  // namespace veska::platform
