#include "platform/linux/hud/HUDCards.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "core/ui/HUDColor.h"
#include "core/ui/HUDPresentation.h"
#include "platform/linux/hud/HUDStyle.h"

namespace veska::platform::HUDCards {

using namespace HUDStyle;
using HUDDrawing::Frame;

namespace {

constexpr char kClaudeEngine[] = "claude_web";
constexpr int kTranscriptWidth = kCardWidth - 2 * kCardPad;
constexpr double kWaveTop = kCardPad + kCardHeaderHeight + kRowGap;
constexpr double kTranscriptTop = kWaveTop + kCardWaveHeight + kRowGap;

bool showsTranscript(const HUDModel& model) {
    return model.engine == kClaudeEngine && !model.text.empty();
}

/// The transcript (older words subdued, the fresh ones emphasised) or the placeholder, laid out
/// in lines of the card's width.
struct LaidOutTranscript {
    QString text;
    qsizetype olderLength = 0;
    bool placeholder = false;
    QTextLayout layout;
    int lines = 0;
};

void layOut(LaidOutTranscript& out) {
    out.layout.setFont(font(kTranscriptPixels, QFont::Normal));
    out.layout.setText(out.text);
    QList<QTextLayout::FormatRange> formats;
    if (out.placeholder) {
        QTextCharFormat faint;
        faint.setForeground(qcolor(HUDColor::faint));
        formats.push_back({0, static_cast<int>(out.text.size()), faint});
    } else {
        QTextCharFormat subdued;
        subdued.setForeground(qcolor(HUDColor::muted));
        QTextCharFormat emphasised;
        emphasised.setForeground(qcolor(HUDColor::ink));
        emphasised.setFontWeight(QFont::DemiBold);
        formats.push_back({0, static_cast<int>(out.olderLength), subdued});
        formats.push_back({static_cast<int>(out.olderLength),
                           static_cast<int>(out.text.size() - out.olderLength), emphasised});
    }
    out.layout.setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    out.layout.setTextOption(option);
    out.layout.beginLayout();
    double y = 0;
    for (QTextLine line = out.layout.createLine(); line.isValid(); line = out.layout.createLine()) {
        line.setLineWidth(kTranscriptWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++out.lines;
    }
    out.layout.endLayout();
}

/// The transcript laid out. The last one is kept: every animation frame draws it again, and it
/// changes only a few times a second. GUI thread only; kept for the life of the process.
const LaidOutTranscript& laidOut(const HUDModel& model) {
    static LaidOutTranscript* last = nullptr;
    QString text;
    qsizetype olderLength = 0;
    const bool placeholder = !showsTranscript(model);
    if (placeholder) {
        text = QString::fromStdString(HUDPresentation::transcriptPlaceholder(model));
    } else {
        const auto parts = HUDPresentation::split(model.text);
        const QString older = QString::fromStdString(parts.older);
        olderLength = older.size();
        text = older + QString::fromStdString(parts.fresh);
    }
    if (last != nullptr && last->text == text && last->olderLength == olderLength &&
        last->placeholder == placeholder) {
        return *last;
    }
    delete last;
    last = new LaidOutTranscript{text, olderLength, placeholder, {}, 0};
    layOut(*last);
    return *last;
}

double lineHeight() {
    return QFontMetricsF(font(kTranscriptPixels, QFont::DemiBold)).lineSpacing();
}

double transcriptHeight(const HUDModel& model) {
    const int lines = std::clamp(laidOut(model).lines, 1, kTranscriptMaxLines);
    return std::ceil(lines * lineHeight());
}

/// Only the last lines show, so the newest words are always in view.
void paintTranscript(QPainter& painter, const HUDModel& model, double top) {
    const LaidOutTranscript& transcript = laidOut(model);
    const int hidden = std::max(0, transcript.lines - kTranscriptMaxLines);
    const double shift = hidden > 0 ? transcript.layout.lineAt(hidden).position().y() : 0;
    painter.save();
    painter.setClipRect(QRectF(kCardPad, top, kTranscriptWidth, transcriptHeight(model)));
    transcript.layout.draw(&painter, QPointF(kCardPad, top - shift));
    painter.restore();
}

/// A key cap with what the key does beside it; returns the x after it.
double keyHint(QPainter& painter, const HUDPresentation::KeyHint& hint, double x, double top) {
    const QFont capFont = font(11, QFont::DemiBold);
    const QFont labelFont = font(11, QFont::Normal);
    const QString key = QString::fromStdString(hint.key);
    const QString action = QString::fromStdString(hint.action);
    const double capWidth = std::ceil(QFontMetricsF(capFont).horizontalAdvance(key)) + 10;
    const QRectF cap(x, top, capWidth, kHintHeight);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(qcolor(HUDColor::line), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(cap.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setFont(capFont);
    painter.setPen(qcolor(HUDColor::ink));
    painter.drawText(cap, Qt::AlignCenter, key);
    painter.setFont(labelFont);
    painter.setPen(qcolor(HUDColor::muted));
    const double labelWidth = std::ceil(QFontMetricsF(labelFont).horizontalAdvance(action));
    painter.drawText(QRectF(cap.right() + 6, top, labelWidth, kHintHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     action);
    return cap.right() + 6 + labelWidth + 14;
}

void paintHeader(QPainter& painter, QSize size, const Frame& frame) {
    const QRectF row(kCardPad, kCardPad, size.width() - 2 * kCardPad, kCardHeaderHeight);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(qcolor(HUDColor::orange));
    painter.drawEllipse(QRectF(row.left(), row.center().y() - 4, 8, 8));
    const QFont titleFont = font(12, QFont::DemiBold);
    const QString title = QString::fromStdString(HUDPresentation::listeningTitle());
    const double titleWidth = std::ceil(QFontMetricsF(titleFont).horizontalAdvance(title));
    painter.setFont(titleFont);
    painter.setPen(qcolor(HUDColor::ink));
    painter.drawText(QRectF(row.left() + 14, row.top(), titleWidth, row.height()), Qt::AlignVCenter, title);
    if (frame.model.outputChip && !frame.model.outputChip->empty()) {
        const QFont chipFont = font(11, QFont::Medium);
        const QString chip = QString::fromStdString(*frame.model.outputChip);
        const double chipWidth = std::ceil(QFontMetricsF(chipFont).horizontalAdvance(chip)) + 12;
        const QRectF box(row.left() + 14 + titleWidth + 8, row.top(), chipWidth, row.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(qcolor(HUDColor::orangeSoft));
        painter.drawRoundedRect(box, row.height() / 2, row.height() / 2);
        painter.setFont(chipFont);
        painter.setPen(qcolor(HUDColor::orangeText));
        painter.drawText(box, Qt::AlignCenter, chip);
    }
    painter.setFont(font(12, QFont::Medium));
    painter.setPen(qcolor(HUDColor::muted));
    const QString elapsed =
        QString::fromStdString(HUDPresentation::elapsed(frame.now - frame.model.startedAt));
    painter.drawText(row, Qt::AlignVCenter | Qt::AlignRight, elapsed);
}

}  // namespace

QSize listeningSize(const Frame& frame) {
    const double height = kTranscriptTop + transcriptHeight(frame.model) + kRowGap + kHintHeight + kCardPad;
    return {kCardWidth, static_cast<int>(std::ceil(height))};
}

void paintListening(QPainter& painter, QSize size, const Frame& frame) {
    background(painter, HUDDrawing::outline(size, frame.model));
    painter.save();
    paintHeader(painter, size, frame);
    waveform(painter, QRectF(kCardPad, kWaveTop, size.width() - 2 * kCardPad, kCardWaveHeight), kCardWaveBars,
             frame.now, frame.model.level);
    paintTranscript(painter, frame.model, kTranscriptTop);
    double x = kCardPad;
    const double hintsTop = kTranscriptTop + transcriptHeight(frame.model) + kRowGap;
    for (const auto& hint : HUDPresentation::listeningKeyHints()) x = keyHint(painter, hint, x, hintsTop);
    painter.restore();
}

HUDDrawing::ReadingControls readingControls(const HUDModel& model) {
    const QFont rateFont = font(12, QFont::DemiBold);
    const QString rate = QString::fromStdString(HUDPresentation::rateLabel(model.rate));
    const double rateWidth =
        std::max<double>(kRateMinWidth, std::ceil(QFontMetricsF(rateFont).horizontalAdvance(rate)) + 20);
    double x = kBarPad + waveWidth(kBarWaveBars) + 14;
    const double buttonTop = (kBarHeight - kButtonSize) / 2.0;
    HUDDrawing::ReadingControls controls;
    controls.pause = QRectF(x, buttonTop, kButtonSize, kButtonSize);
    x += kButtonSize + 8;
    controls.rate = QRectF(x, (kBarHeight - kRateHeight) / 2.0, rateWidth, kRateHeight);
    x += rateWidth + 8;
    controls.stop = QRectF(x, buttonTop, kButtonSize, kButtonSize);
    return controls;
}

QSize readingSize(const HUDModel& model) {
    const auto controls = readingControls(model);
    return {static_cast<int>(std::ceil(controls.stop.right() + kBarPad)), kBarHeight};
}

void paintReading(QPainter& painter, QSize size, const Frame& frame) {
    background(painter, HUDDrawing::outline(size, frame.model));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    waveform(painter,
             QRectF(kBarPad, (kBarHeight - kBarWaveHeight) / 2.0, waveWidth(kBarWaveBars), kBarWaveHeight),
             kBarWaveBars, frame.now, frame.model.level);
    const auto controls = readingControls(frame.model);
    painter.setPen(Qt::NoPen);
    painter.setBrush(qcolor(HUDColor::orangeSoft));
    painter.drawEllipse(controls.pause);
    symbol(painter, frame.model.paused ? "play.fill" : "pause.fill", controls.pause.adjusted(9, 9, -9, -9),
           qcolor(HUDColor::orangeDeep));
    painter.setPen(Qt::NoPen);
    painter.setBrush(qcolor(HUDColor::orangeSoft));
    painter.drawRoundedRect(controls.rate, kRateHeight / 2.0, kRateHeight / 2.0);
    painter.setFont(font(12, QFont::DemiBold));
    painter.setPen(qcolor(HUDColor::orangeText));
    painter.drawText(controls.rate, Qt::AlignCenter,
                     QString::fromStdString(HUDPresentation::rateLabel(frame.model.rate)));
    painter.setPen(QPen(qcolor(HUDColor::line), 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(controls.stop.adjusted(0.5, 0.5, -0.5, -0.5));
    symbol(painter, "xmark", controls.stop.adjusted(10, 10, -10, -10), qcolor(HUDColor::ink));
    painter.restore();
}

}  // namespace veska::platform::HUDCards
