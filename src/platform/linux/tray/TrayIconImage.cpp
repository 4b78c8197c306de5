#include "platform/linux/tray/TrayIconImage.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <xcb/xcb.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/linux/icons/VeskaIcons.h"

namespace veska::platform::TrayIconImage {

namespace {

constexpr std::array<int, 6> kSides{16, 18, 22, 24, 36, 48};
/// `_NET_SYSTEM_TRAY_COLORS`: foreground, error, warning and success as 16-bit r, g, b.
constexpr std::uint32_t kTrayColorValues = 12;

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const xcb_atom_t out = reply->atom;
    std::free(reply);
    return out;
}

std::optional<QColor> trayForeground() {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) return std::nullopt;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, "_NET_SYSTEM_TRAY_S0")), nullptr);
    if (owner == nullptr) return std::nullopt;
    const xcb_window_t manager = owner->owner;
    std::free(owner);
    if (manager == XCB_NONE) return std::nullopt;
    auto cookie = xcb_get_property(c, 0, manager, atom(c, "_NET_SYSTEM_TRAY_COLORS"), XCB_ATOM_CARDINAL, 0,
                                   kTrayColorValues);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (reply == nullptr) return std::nullopt;
    std::optional<QColor> out;
    if (reply->format == 32 && xcb_get_property_value_length(reply) >= 12) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        out = QColor::fromRgba64(static_cast<quint16>(v[0]), static_cast<quint16>(v[1]),
                                 static_cast<quint16>(v[2]));
    }
    std::free(reply);
    return out;
}

}  // namespace

QImage render(const std::string& symbolName, const DesignTokens::StatusBarImage& image,
              const QColor& textColor, int side) {
    QImage out(side, side, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const double scale = side / DesignTokens::StatusBarImage::kCanvas;
    QPainter painter(&out);
    if (!image.blankSymbol) {
        // The 16-point symbol inside the 18-point canvas.
        const double inset =
            (DesignTokens::StatusBarImage::kCanvas - DesignTokens::StatusBarImage::kSymbolPointSize) / 2 *
            scale;
        const QRectF box(inset, inset, side - 2 * inset, side - 2 * inset);
        const QSize pixels(static_cast<int>(std::lround(box.width())),
                           static_cast<int>(std::lround(box.height())));
        painter.drawImage(box.topLeft(), VeskaIcons::render(symbolName, pixels, textColor));
    }
    if (image.badgeDot) {
        const DesignTokens::Rect& dot = *image.badgeDot;
        // Flip the bottom-left origin into Qt's top-left one.
        const QRectF box(dot.x * scale, (DesignTokens::StatusBarImage::kCanvas - dot.y - dot.height) * scale,
                         dot.width * scale, dot.height * scale);
        const auto& c = DesignTokens::kBadgeColor;
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(c.red, c.green, c.blue));
        painter.drawEllipse(box);
    }
    return out;
}

QIcon icon(const std::string& symbolName, const DesignTokens::StatusBarImage& image,
           const QColor& textColor) {
    QIcon out;
    for (int side : kSides) out.addPixmap(QPixmap::fromImage(render(symbolName, image, textColor, side)));
    return out;
}

QColor panelTextColor() {
    if (auto color = trayForeground()) return *color;
    return QGuiApplication::palette().color(QPalette::WindowText);
}

}  // namespace veska::platform::TrayIconImage
