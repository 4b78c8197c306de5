// The HUD's drawing with QPainter: the pill, the listening card and the reading bar, each
// from the model and the moment it is drawn at.
#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSize>

#include "core/ai/WriteMode.h"
#include "core/ui/HUDModel.h"

namespace veska::platform::HUDDrawing {

/// One frame to draw: the model, the writing mode the pill may name, and the main
/// executor's clock (seconds) for the elapsed time and the animations.
struct Frame {
    const HUDModel& model;
    Translator::WriteMode mode = Translator::WriteMode::normal;
    double now = 0;
};

/// The three buttons of the reading bar, in the panel's coordinates.
struct ReadingControls {
    QRectF pause;
    QRectF rate;
    QRectF stop;
};

/// The size (points) the content needs for this frame.
[[nodiscard]] QSize contentSize(const Frame& frame);

/// Draws the frame into a transparent canvas of `size` (from `contentSize`).
void paint(QPainter& painter, QSize size, const Frame& frame);

/// Where the reading bar's buttons are, for a bar of the model's content.
[[nodiscard]] ReadingControls readingControls(const HUDModel& model);

/// Whether the drawing changes with time alone (waveform, elapsed time, pulse dots).
[[nodiscard]] bool animates(const HUDModel& model);

/// The outline of the panel's background (used as the window's shape where nothing blends
/// transparent windows).
[[nodiscard]] QPainterPath outline(QSize size, const HUDModel& model);

}  // namespace veska::platform::HUDDrawing
