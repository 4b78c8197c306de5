#include "platform/linux/icons/VeskaIcons.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

namespace veska::platform::VeskaIcons {

namespace {

constexpr char kPrefix[] = ":/veska/icons/";
/// The sizes an icon carries: the tray's 16–24 pixels, menus, and twice those for HiDPI.
constexpr std::array<int, 7> kIconSizes{16, 18, 22, 24, 32, 36, 48};

QString pathOf(std::string_view name) {
    return QString::fromLatin1(kPrefix) +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + QStringLiteral(".svg");
}

// A symbol name is dotted lower-case words and digits; anything else (a path, "..") is no symbol.
bool plausibleName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.back() == '.') return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.'; });
}

}  // namespace

bool has(std::string_view name) {
    return plausibleName(name) && QFile::exists(pathOf(name));
}

std::vector<std::string> names() {
    std::vector<std::string> out;
    const QStringList files =
        QDir(QString::fromLatin1(kPrefix)).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& file : files) out.push_back(file.chopped(4).toStdString());
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

/// Drawings already made, by name, size and tint: the HUD asks for the same few every frame.
/// Used from the GUI thread only; a full cache starts over.
constexpr std::size_t kCachedImages = 96;

QImage draw(std::string_view name, QSize size, const QColor& tint) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!has(name) || size.isEmpty()) return image;
    QSvgRenderer renderer(pathOf(name));
    if (!renderer.isValid()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    // The drawing is black on transparent: keep its coverage, take the tint's colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), tint);
    return image;
}

}  // namespace

QImage render(std::string_view name, QSize size, const QColor& tint) {
    static thread_local std::map<std::tuple<std::string, int, int, QRgb>, QImage> cache;
    auto key = std::make_tuple(std::string(name), size.width(), size.height(), tint.rgba());
    if (auto found = cache.find(key); found != cache.end()) return found->second;
    if (cache.size() >= kCachedImages) cache.clear();
    QImage image = draw(name, size, tint);
    cache.emplace(std::move(key), image);
    return image;
}

QIcon icon(std::string_view name, const QColor& tint) {
    QIcon out;
    for (int side : kIconSizes) out.addPixmap(QPixmap::fromImage(render(name, QSize(side, side), tint)));
    return out;
}

}  // namespace veska::platform::VeskaIcons
