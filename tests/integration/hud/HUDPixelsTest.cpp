// What each HUD state puts on the screen, read back from the X server: the pill's icon
// colours, the waveform, the reading controls and the light background. Every picture is
// also saved in hud-gallery/ of the build directory for a person to look at.
#include <gtest/gtest.h>

#include <QDir>

#include <cstdlib>
#include <functional>

#include "core/ui/AppStrings.h"
#include "core/ui/HUDColor.h"
#include "integration/hud/HUDRig.h"
#include "platform/linux/hud/HUDDrawing.h"
#include "platform/linux/hud/HUDStyle.h"

namespace veska::testing {
namespace {

using Kind = HUDState::Kind;
namespace Style = platform::HUDStyle;

bool near(QRgb pixel, const SRGBColor& color, int tolerance) {
    return std::abs(qRed(pixel) - color.red) <= tolerance &&
           std::abs(qGreen(pixel) - color.green) <= tolerance &&
           std::abs(qBlue(pixel) - color.blue) <= tolerance;
}

/// Pixels of `region` that satisfy `test`.
int count(const QImage& image, const QRect& region, const std::function<bool(QRgb)>& test) {
    int n = 0;
    const QRect inside = region.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) n += test(image.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

std::function<bool(QRgb)> nearColor(SRGBColor color, int tolerance = 12) {
    return [color, tolerance](QRgb pixel) { return near(pixel, color, tolerance); };
}

/// Orange seen through the pulse dots' opacity over the light background.
bool orangeish(QRgb pixel) {
    return qRed(pixel) > 235 && qGreen(pixel) < 215 && qBlue(pixel) < 200;
}

bool dark(QRgb pixel) {
    return qGray(pixel) < 110;
}

/// The pill's icon place: left pad, vertically centred, `width` wide.
QRect iconPlace(int width, int height) {
    return {Style::kPillPadLeft, (Style::kPillHeight - height) / 2, width, height};
}

struct Look {
    const char* what;
    QRect region;
    std::function<bool(QRgb)> test;
    int atLeast;
};

struct Row {
    const char* file;
    std::function<void(HUDRig&)> prepare;
    HUDState state;
    std::vector<Look> looks;
};

const SRGBColor kBackground{255, 253, 250, 1.0};

std::vector<Row> rows() {
    const auto dotsRow =
        QRect(Style::kPillPadLeft, (Style::kPillHeight - Style::kDotSize) / 2, 31, Style::kDotSize);
    return {
        {"done",
         [](HUDRig& rig) { rig.hud.begin("claude_web", "Notes"); },
         Kind::done,
         {{"orange disc", iconPlace(24, 24), nearColor(HUDColor::orange), 150},
          {"ink check mark", iconPlace(24, 24), nearColor(HUDColor::ink, 40), 4},
          {"text", QRect(48, 10, 60, 24), dark, 20},
          {"background", QRect(44, 2, 3, 3), nearColor(kBackground, 4), 9}}},
        {"error",
         nullptr,
         HUDState::error("Không mở được mic"),
         {{"deep orange symbol", iconPlace(22, 22), nearColor(HUDColor::orangeDeep, 30), 25},
          {"text", QRect(46, 10, 60, 24), dark, 20}}},
        {"stopped",
         nullptr,
         Kind::stopped,
         {{"muted symbol", iconPlace(22, 22), nearColor(HUDColor::muted, 30), 25}}},
        {"info",
         nullptr,
         HUDState::info("Đã chép · ⌘V để dán"),
         {{"orange disc", iconPlace(24, 24), nearColor(HUDColor::orange), 150}}},
        {"transcribing",
         [](HUDRig& rig) { rig.hud.begin("claude_web", std::nullopt); },
         Kind::transcribing,
         {{"pulse dots", dotsRow, orangeish, 40}, {"no symbol under the dots", iconPlace(31, 20), dark, 0}}},
        {"translating", nullptr, Kind::translating, {{"pulse dots", dotsRow, orangeish, 40}}},
        {"composing", nullptr, Kind::composing, {{"pulse dots", dotsRow, orangeish, 40}}},
        {"fixing", nullptr, Kind::fixing, {{"pulse dots", dotsRow, orangeish, 40}}},
        {"readying", nullptr, Kind::readying, {{"pulse dots", dotsRow, orangeish, 40}}},
        {"listening",
         [](HUDRig& rig) {
             rig.hud.begin("claude_web", "Notes");
             rig.hud.show(Kind::listening);
             rig.hud.setOutputChip("→ EN");
             rig.hud.setLevel(0.6);
             rig.hud.setListeningPreview(
                 "xin chào các bạn hôm nay chúng ta sẽ nói về cách Veska gõ chữ vào bất kỳ ứng "
                 "dụng nào đang mở trên màn hình");
         },
         Kind::listening,
         {{"waveform",
           QRect(Style::kCardPad, 44, Style::kCardWidth - 2 * Style::kCardPad, Style::kCardWaveHeight),
           nearColor(HUDColor::orange, 20), 60},
          {"output chip", QRect(60, Style::kCardPad, 120, Style::kCardHeaderHeight),
           nearColor(HUDColor::orangeSoft, 6), 40},
          {"transcript", QRect(Style::kCardPad, 82, Style::kCardWidth - 2 * Style::kCardPad, 40), dark, 80}}},
        {"listening-file",
         [](HUDRig& rig) { rig.hud.begin("chatgpt_web", std::nullopt); },
         Kind::listening,
         {{"placeholder only, no dark transcript",
           QRect(Style::kCardPad, 82, Style::kCardWidth - 2 * Style::kCardPad, 18), dark, 0},
          {"faint placeholder", QRect(Style::kCardPad, 82, Style::kCardWidth - 2 * Style::kCardPad, 18),
           nearColor(HUDColor::faint, 20), 20}}},
        {"speaking",
         [](HUDRig& rig) {
             rig.hud.beginReading(1.5);
             rig.hud.show(Kind::speaking);
             rig.hud.setLevel(0.5);
         },
         Kind::speaking,
         {{"pause button", QRect(Style::kBarPad + 117 + 2, 12, 8, 28), nearColor(HUDColor::orangeSoft, 6),
           40},
          {"pause symbol", QRect(Style::kBarPad + 117 + 9, 19, 14, 14), nearColor(HUDColor::orangeDeep, 30),
           20},
          {"waveform", QRect(Style::kBarPad, 12, 105, 28), nearColor(HUDColor::orange, 20), 30}}},
    };
}

struct NoSystemLanguages final : ports::SystemLanguages {
    [[nodiscard]] std::vector<std::string> preferredLanguages() const override { return {}; }
};

void setInterfaceLanguage(const char* code) {
    AppStrings::setLocale(nlohmann::json{{"locale", code}}, NoSystemLanguages());
}

// Both interface languages: the texts differ in length and letters, the shapes and colours not.
TEST(HUDPixels, EachStateDrawsItsShapesAndColours) {
    X11TestDesktop& d = X11TestDesktop::get(hudDesktopOptions());
    if (!d.missing().empty()) GTEST_SKIP() << d.missing();
    QDir().mkpath(QStringLiteral(VESKA_HUD_GALLERY_DIR));
    for (const char* language : {"vi", "en"}) {
        setInterfaceLanguage(language);
        for (const Row& row : rows()) {
            HUDRig rig;
            if (row.prepare) row.prepare(rig);
            rig.showAndSettle(row.state, d);
            const auto place = d.geometry(rig.window());
            ASSERT_TRUE(place) << row.file;
            const QImage picture = d.grab(place->x(), place->y(), place->width(), place->height());
            picture.save(QStringLiteral(VESKA_HUD_GALLERY_DIR "/%1-%2.png")
                             .arg(QLatin1String(row.file), QLatin1String(language)));
            for (const Look& look : row.looks) {
                const int found = count(picture, look.region, look.test);
                if (look.atLeast == 0) {
                    EXPECT_EQ(found, 0) << language << " " << row.file << ": " << look.what;
                } else {
                    EXPECT_GE(found, look.atLeast) << language << " " << row.file << ": " << look.what;
                }
            }
        }
    }
    setInterfaceLanguage("vi");
}

}  // namespace
}  // namespace veska::testing
