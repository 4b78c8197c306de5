// Veska's own symbol images, looked up by the symbol names the interface uses ("mic.fill").
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>

#include <string>
#include <string_view>
#include <vector>

namespace veska::platform::VeskaIcons {

/// Whether the set has a drawing for `name`.
[[nodiscard]] bool has(std::string_view name);

/// Every symbol name of the set, sorted.
[[nodiscard]] std::vector<std::string> names();

/// The symbol drawn to fill `size` (device pixels) in one colour `tint`, on a transparent
/// background. A name the set lacks gives a transparent image of that size.
[[nodiscard]] QImage render(std::string_view name, QSize size, const QColor& tint);

/// The symbol as an icon in `tint`, at the usual tray and menu sizes.
[[nodiscard]] QIcon icon(std::string_view name, const QColor& tint);

}  // namespace veska::platform::VeskaIcons
