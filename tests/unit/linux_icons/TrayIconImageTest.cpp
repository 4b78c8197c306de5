// The tray icon's picture: the symbol in the panel's text colour, the badge's orange dot at
// the lower right of the 18-point canvas (whose origin is at the bottom left), a blank
// stand-in for a symbol that does not exist.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "core/ui/DesignTokens.h"
#include "platform/linux/tray/TrayIconImage.h"

namespace veska::platform {
namespace {

bool isBadge(QRgb pixel) {
    const auto& c = DesignTokens::kBadgeColor;
    return qAlpha(pixel) == 255 && qRed(pixel) == c.red && qGreen(pixel) == c.green && qBlue(pixel) == c.blue;
}

/// Pixels of `region` whose (unpremultiplied) colour passes `test`.
int count(const QImage& image, const QRect& region, const std::function<bool(QRgb)>& test) {
    int n = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x)
            n += test(image.pixelColor(x, y).rgba()) ? 1 : 0;
    }
    return n;
}

TEST(TrayIconImage, BadgeDotAndSymbolWhereTheyBelong) {
    const QColor text(20, 20, 20);
    const auto isText = [&](QRgb pixel) {
        const QColor c = QColor::fromRgba(pixel);
        return c.alpha() > 200 && std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                                          std::abs(c.blue() - text.blue()) <=
                                      3;
    };
    struct Row {
        bool symbolExists;
        bool badge;
    };
    for (const Row row : {Row{true, false}, Row{true, true}, Row{false, true}, Row{false, false}}) {
        for (int side : {18, 36}) {
            const double s = side / 18.0;
            const QImage image =
                TrayIconImage::render(row.symbolExists ? "waveform" : "no.such.symbol",
                                      DesignTokens::statusBarImage(row.symbolExists, row.badge), text, side);
            ASSERT_EQ(image.size(), QSize(side, side));
            // The dot's centre: x 10 + 3.5, y 1 + 3.5 from the bottom.
            const QPoint dotCentre(static_cast<int>(13.5 * s), static_cast<int>((18 - 4.5) * s));
            EXPECT_EQ(isBadge(image.pixelColor(dotCentre).rgba()), row.badge)
                << row.symbolExists << row.badge << side;
            EXPECT_EQ(count(image, QRect(0, 0, side, side / 2), isBadge), 0);
            EXPECT_EQ(count(image, QRect(0, 0, side / 2, side), isBadge), 0);
            const int textPixels = count(image, image.rect(), isText);
            if (row.symbolExists) {
                EXPECT_GT(textPixels, side) << side;
                continue;
            }
            // A blank stand-in: nothing but the dot (and its smoothed edge) is drawn.
            EXPECT_EQ(textPixels, 0);
            const QRect dot(static_cast<int>(10 * s) - 1, static_cast<int>(10 * s) - 1,
                            static_cast<int>(7 * s) + 2, static_cast<int>(7 * s) + 2);
            int outside = 0;
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x)
                    outside += qAlpha(image.pixel(x, y)) > 0 && !dot.contains(x, y) ? 1 : 0;
            }
            EXPECT_EQ(outside, 0) << row.badge << side;
        }
    }
}

}  // namespace
}  // namespace veska::platform
