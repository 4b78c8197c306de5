#include "platform/linux/hud/HUDDrawing.h"

#include <QFontMetricsF>

#include <cmath>

#include "core/ui/HUDColor.h"
#include "core/ui/HUDPresentation.h"
#include "platform/linux/hud/HUDCards.h"
#include "platform/linux/hud/HUDStyle.h"

namespace veska::platform::HUDDrawing {

using Kind = HUDState::Kind;
using namespace HUDStyle;

namespace {

QString pillText(const Frame& frame) {
    return QString::fromStdString(HUDPresentation::pillText(frame.model, frame.mode));
}

QFont pillFont() {
    return font(kPillFontPixels, QFont::DemiBold);
}

// The width of the icon's place at the left of the pill.
double iconWidth(const HUDPresentation::PillIcon& icon) {
    switch (icon.kind) {
        case HUDPresentation::PillIconKind::pulseDots:
            return 3 * kDotSize + 2 * kDotSpacing;
        case HUDPresentation::PillIconKind::disc:
            return icon.discDiameter;
        case HUDPresentation::PillIconKind::symbol:
            return icon.pointSize + 3;
    }
    return 0;
}

double pillTextWidth(const Frame& frame) {
    const double width = QFontMetricsF(pillFont()).horizontalAdvance(pillText(frame));
    return std::min(std::ceil(width), static_cast<double>(kPillTextMax));
}

QSize pillSize(const Frame& frame) {
    const auto icon = HUDPresentation::pillIcon(frame.model.state);
    const double text = pillTextWidth(frame);
    const double width = kPillPadLeft + iconWidth(icon) + (text > 0 ? kPillGap + text : 0) + kPillPadRight;
    return {static_cast<int>(std::ceil(width)), kPillHeight};
}

void pulseDots(QPainter& painter, const QRectF& box, double t) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(qcolor(HUDColor::orange, HUDPresentation::pulseDotOpacity(t, i)));
        const double x = box.left() + i * (kDotSize + kDotSpacing);
        painter.drawEllipse(QRectF(x, box.center().y() - kDotSize / 2.0, kDotSize, kDotSize));
    }
    painter.restore();
}

void pillIcon(QPainter& painter, const HUDPresentation::PillIcon& icon, const QRectF& box, double t) {
    switch (icon.kind) {
        case HUDPresentation::PillIconKind::pulseDots:
            pulseDots(painter, box, t);
            return;
        case HUDPresentation::PillIconKind::disc: {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(qcolor(icon.discColor));
            painter.drawEllipse(box);
            painter.restore();
            const double side = icon.pointSize;
            symbol(painter, icon.symbol,
                   QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side),
                   qcolor(icon.color));
            return;
        }
        case HUDPresentation::PillIconKind::symbol:
            symbol(painter, icon.symbol, box, qcolor(icon.color));
            return;
    }
}

void paintPill(QPainter& painter, QSize size, const Frame& frame) {
    background(painter, outline(size, frame.model));
    const auto icon = HUDPresentation::pillIcon(frame.model.state);
    const double width = iconWidth(icon);
    const double height = icon.kind == HUDPresentation::PillIconKind::pulseDots ? kDotSize : width;
    const QRectF iconBox(kPillPadLeft, (size.height() - height) / 2, width, height);
    pillIcon(painter, icon, iconBox, frame.now);
    const QString text = pillText(frame);
    if (text.isEmpty()) return;
    painter.setFont(pillFont());
    painter.setPen(qcolor(HUDColor::ink));
    const QRectF textBox(iconBox.right() + kPillGap, 0, pillTextWidth(frame), size.height());
    const QString shown = QFontMetricsF(pillFont()).elidedText(text, Qt::ElideRight, textBox.width() + 0.5);
    painter.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}

}  // namespace

QSize contentSize(const Frame& frame) {
    switch (frame.model.state.kind()) {
        case Kind::listening:
            return HUDCards::listeningSize(frame);
        case Kind::speaking:
            return HUDCards::readingSize(frame.model);
        default:
            return pillSize(frame);
    }
}

void paint(QPainter& painter, QSize size, const Frame& frame) {
    switch (frame.model.state.kind()) {
        case Kind::idle:
            return;
        case Kind::listening:
            HUDCards::paintListening(painter, size, frame);
            return;
        case Kind::speaking:
            HUDCards::paintReading(painter, size, frame);
            return;
        default:
            paintPill(painter, size, frame);
            return;
    }
}

ReadingControls readingControls(const HUDModel& model) {
    return HUDCards::readingControls(model);
}

bool animates(const HUDModel& model) {
    switch (model.state.kind()) {
        case Kind::listening:
        case Kind::speaking:
            return true;
        default:
            return HUDPresentation::pillIcon(model.state).kind == HUDPresentation::PillIconKind::pulseDots;
    }
}

QPainterPath outline(QSize size, const HUDModel& model) {
    const QRectF box = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = model.state.kind() == Kind::listening ? kCardRadius : box.height() / 2;
    QPainterPath path;
    path.addRoundedRect(box, radius, radius);
    return path;
}

}  // namespace veska::platform::HUDDrawing
