#include "platform/linux/hud/HUDStyle.h"

#include <cmath>

#include "core/ui/HUDColor.h"
#include "core/ui/HUDPresentation.h"
#include "platform/linux/icons/VeskaIcons.h"

namespace veska::platform::HUDStyle {

void background(QPainter& painter, const QPainterPath& outline) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPath(outline);
    painter.setBrush(qcolor(HUDColor::tint));
    painter.drawPath(outline);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(qcolor(HUDColor::line), 1));
    painter.drawPath(outline);
    painter.restore();
}

void waveform(QPainter& painter, const QRectF& box, int bars, double t, double level) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(qcolor(HUDColor::orange));
    const double total = waveWidth(bars);
    double x = box.center().x() - total / 2;
    for (int i = 0; i < bars; ++i) {
        const double h = HUDPresentation::waveformBarHeight(t, i, level, kWaveIdle, box.height(), kBarWidth);
        const QRectF bar(x, box.center().y() - h / 2, kBarWidth, h);
        painter.drawRoundedRect(bar, kBarWidth / 2, kBarWidth / 2);
        x += kBarWidth + kBarSpacing;
    }
    painter.restore();
}

void symbol(QPainter& painter, const std::string& name, const QRectF& box, const QColor& color) {
    const double ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(static_cast<int>(std::ceil(box.width() * ratio)),
                       static_cast<int>(std::ceil(box.height() * ratio)));
    const QImage image = VeskaIcons::render(name, pixels, color);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(box, image);
    painter.restore();
}

void symbol(QPainter& painter, const char* name, const QRectF& box, const QColor& color) {
    symbol(painter, std::string(name), box, color);
}

}  // namespace veska::platform::HUDStyle
