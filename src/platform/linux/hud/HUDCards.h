// The two cards of the HUD that are more than a pill: the listening card and the reading bar.
#pragma once

#include <QPainter>
#include <QSize>

#include "platform/linux/hud/HUDDrawing.h"

namespace veska::platform::HUDCards {

[[nodiscard]] QSize listeningSize(const HUDDrawing::Frame& frame);
void paintListening(QPainter& painter, QSize size, const HUDDrawing::Frame& frame);

[[nodiscard]] QSize readingSize(const HUDModel& model);
void paintReading(QPainter& painter, QSize size, const HUDDrawing::Frame& frame);
[[nodiscard]] HUDDrawing::ReadingControls readingControls(const HUDModel& model);

}  // namespace veska::platform::HUDCards
