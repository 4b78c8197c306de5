// Every symbol the interface names has a drawing that reads at tray and HUD sizes, in one
// colour, and names that are not symbols draw nothing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/ui/HUDPresentation.h"
#include "core/ui/HUDState.h"
#include "platform/linux/icons/VeskaIcons.h"

namespace veska::platform {
namespace {

/// The share of the image's pixels the drawing covers.
double coverage(const QImage& image) {
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) covered += qAlpha(image.pixel(x, y)) > 64 ? 1 : 0;
    }
    return static_cast<double>(covered) / (image.width() * image.height());
}

// The menu-bar symbols, the HUD's pill and reading controls, the permission steps, the
// popover's rows and the translation card's buttons.
const char* const kUsedSymbols[] = {
    "waveform",
    "mic.fill",
    "exclamationmark.triangle.fill",
    "checkmark.circle.fill",
    "ellipsis.circle",
    "stop.circle",
    "exclamationmark.circle",
    "checkmark",
    "pause.fill",
    "play.fill",
    "xmark",
    "accessibility",
    "keyboard",
    "stop.fill",
    "person.wave.2",
    "character.bubble",
    "gearshape",
    "display",
    "arrow.down.circle",
    "arrow.down.to.line",
    "speaker.wave.1",
    "doc.on.doc",
    "person.crop.circle",
    "chevron.down",
};

TEST(VeskaIcons, EverySymbolTheInterfaceNamesReadsAtSmallSizes) {
    for (const char* name : kUsedSymbols) {
        EXPECT_TRUE(VeskaIcons::has(name)) << name;
        for (int side : {16, 24, 48}) {
            const QImage image = VeskaIcons::render(name, QSize(side, side), Qt::black);
            const double covered = coverage(image);
            EXPECT_GT(covered, 0.06) << name << " at " << side;
            EXPECT_LT(covered, 0.85) << name << " at " << side;
        }
    }
    EXPECT_EQ(VeskaIcons::names().size(), std::size(kUsedSymbols));
}

TEST(VeskaIcons, EveryStateHasItsMenuBarAndPillSymbol) {
    using Kind = HUDState::Kind;
    for (Kind kind :
         {Kind::error, Kind::info, Kind::idle, Kind::listening, Kind::transcribing, Kind::done, Kind::stopped,
          Kind::readying, Kind::speaking, Kind::translating, Kind::composing, Kind::fixing}) {
        const HUDState state = kind == Kind::error ? HUDState::error("x") : HUDState(kind);
        EXPECT_TRUE(VeskaIcons::has(std::string(hudSymbol(state)))) << name(kind);
        const auto icon = HUDPresentation::pillIcon(state);
        if (icon.kind != HUDPresentation::PillIconKind::pulseDots)
            EXPECT_TRUE(VeskaIcons::has(icon.symbol)) << name(kind);
    }
}

TEST(VeskaIcons, DrawsInTheTintOnly) {
    for (const QColor& tint : {QColor(34, 22, 14), QColor(255, 255, 255), QColor(255, 107, 26)}) {
        const QImage image = VeskaIcons::render("gearshape", QSize(32, 32), tint);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 250) continue;
                ++opaque;
                // Premultiplied storage rounds by a unit at most.
                EXPECT_LE(std::abs(pixel.red() - tint.red()) + std::abs(pixel.green() - tint.green()) +
                              std::abs(pixel.blue() - tint.blue()),
                          3)
                    << x << "," << y;
            }
        }
        EXPECT_GT(opaque, 50);
    }
}

TEST(VeskaIcons, NamesThatAreNotSymbolsDrawNothing) {
    for (const char* name : {"", ".", "..", "../icons/waveform", "waveform.svg", "WAVEFORM", "mic..fill",
                             "no.such.symbol", "/veska/icons/waveform", "mic.fill "}) {
        EXPECT_FALSE(VeskaIcons::has(name)) << name;
        const QImage image = VeskaIcons::render(name, QSize(20, 20), Qt::black);
        EXPECT_EQ(image.size(), QSize(20, 20));
        EXPECT_EQ(coverage(image), 0.0) << name;
    }
    EXPECT_TRUE(VeskaIcons::render("waveform", QSize(0, 0), Qt::black).isNull() ||
                VeskaIcons::render("waveform", QSize(0, 0), Qt::black).size().isEmpty());
}

}  // namespace
}  // namespace veska::platform
