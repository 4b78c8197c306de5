// The HUD's metrics, fonts and colours on Linux, shared by its drawing files.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include <string>

#include "core/ui/SRGBColor.h"

namespace veska::platform::HUDStyle {

[[nodiscard]] inline QColor qcolor(const SRGBColor& c, double extraOpacity = 1.0) {
    QColor color(c.red, c.green, c.blue);
    color.setAlphaF(static_cast<float>(c.opacity * extraOpacity));
    return color;
}

/// A sans-serif font of `pixels` height; text sizes are in points of the panel (logical pixels).
[[nodiscard]] inline QFont font(int pixels, QFont::Weight weight) {
    QFont f;
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setWeight(weight);
    return f;
}

// The pill.
inline constexpr int kPillHeight = 44;
inline constexpr int kPillPadLeft = 14;
inline constexpr int kPillPadRight = 18;
inline constexpr int kPillGap = 10;
inline constexpr int kPillTextMax = 420;
inline constexpr int kPillFontPixels = 13;

// Pulse dots.
inline constexpr int kDotSize = 7;
inline constexpr int kDotSpacing = 5;

// The listening card.
inline constexpr int kCardWidth = 380;
inline constexpr int kCardPad = 16;
inline constexpr int kCardRadius = 18;
inline constexpr int kCardHeaderHeight = 18;
inline constexpr int kCardWaveHeight = 28;
inline constexpr int kCardWaveBars = 32;
inline constexpr int kTranscriptPixels = 14;
inline constexpr int kTranscriptMaxLines = 3;
inline constexpr int kHintHeight = 18;
inline constexpr int kRowGap = 10;

// The reading bar.
inline constexpr int kBarHeight = 52;
inline constexpr int kBarPad = 12;
inline constexpr int kBarWaveBars = 18;
inline constexpr int kBarWaveHeight = 24;
inline constexpr int kButtonSize = 32;
inline constexpr int kRateHeight = 28;
inline constexpr int kRateMinWidth = 48;

// Waveform bars.
inline constexpr double kBarWidth = 3;
inline constexpr double kBarSpacing = 3;
/// The fraction of the height silent bars ripple around.
inline constexpr double kWaveIdle = 0.12;

[[nodiscard]] inline double waveWidth(int bars) {
    return bars * kBarWidth + (bars - 1) * kBarSpacing;
}

/// The panel's background: the light material with its warm tint, and a hairline edge.
void background(QPainter& painter, const QPainterPath& outline);

/// A waveform of `bars` bars filling `box` at time `t` for `level`.
void waveform(QPainter& painter, const QRectF& box, int bars, double t, double level);

/// One of Veska's symbols in `color`, fitted into `box`.
void symbol(QPainter& painter, const char* name, const QRectF& box, const QColor& color);
void symbol(QPainter& painter, const std::string& name, const QRectF& box, const QColor& color);

}  // namespace veska::platform::HUDStyle
