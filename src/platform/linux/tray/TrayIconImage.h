// The tray icon's picture: a symbol tinted like the panel's text, with the setup badge's dot.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

#include <string>

#include "core/ui/DesignTokens.h"

namespace veska::platform::TrayIconImage {

/// The icon as `side` × `side` device pixels: the 18-point canvas scaled to `side`, the
/// symbol filling it in `textColor` (nothing for a blank stand-in), and with the badge the
/// orange dot at its place (the canvas's origin is at the bottom left).
[[nodiscard]] QImage render(const std::string& symbolName, const DesignTokens::StatusBarImage& image,
                            const QColor& textColor, int side);

/// The same at the sizes trays ask for.
[[nodiscard]] QIcon icon(const std::string& symbolName, const DesignTokens::StatusBarImage& image,
                         const QColor& textColor);

/// The colour of the text on the tray's panel: the tray host's `_NET_SYSTEM_TRAY_COLORS`
/// foreground when it publishes one, else the application palette's window text.
[[nodiscard]] QColor panelTextColor();

}  // namespace veska::platform::TrayIconImage
