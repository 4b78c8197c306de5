// What the HUD's window asks of the X11 window manager and the compositor.
#pragma once

#include <QWidget>

namespace veska::platform::HUDWindowHints {

/// Puts the native window on every desktop (`_NET_WM_DESKTOP` 0xFFFFFFFF), keeps it out of
/// taskbars and pagers and above normal windows (`_NET_WM_STATE`, merged with what is there).
/// Call while the window is unmapped: window managers read these when it is mapped and drop
/// `_NET_WM_STATE` when it is withdrawn.
void applyBeforeMap(QWidget& window);

/// Lets clicks through the window to whatever is below (an empty input shape), or gives it
/// back the input shape of its whole visible shape, which follows every later resize.
void setClickThrough(QWidget& window, bool clickThrough);

/// Whether a compositing manager blends transparent windows on the first screen; without one
/// the window needs a shape for its rounded corners.
[[nodiscard]] bool compositing();

}  // namespace veska::platform::HUDWindowHints
