#include "main/app/PlainHUDPanel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>

#include "core/ai/WriteMode.h"
#include "core/ui/HUDPresentation.h"

namespace veska::app {

namespace {

constexpr int kBottomMargin = 40;
constexpr int kMillisecondsPerSecond = 1000;

}  // namespace

PlainHUDPanel::PlainHUDPanel(rt::Executor& main, const ports::Preferences& prefs)
    : main_(main), prefs_(prefs), label_(std::make_unique<QLabel>()) {
    label_->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus);
    label_->setAttribute(Qt::WA_ShowWithoutActivating);
    label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    label_->setMargin(10);
    label_->setStyleSheet("QLabel { background: #F5F5F7; color: #1D1D1F; border-radius: 14px; font-size: 14px; }");
}

PlainHUDPanel::~PlainHUDPanel() { *alive_ = false; }

bool PlainHUDPanel::isVisible() const { return label_->isVisible(); }

void PlainHUDPanel::setAcceptsMouse(bool accepts) {
    label_->setAttribute(Qt::WA_TransparentForMouseEvents, !accepts);
}

void PlainHUDPanel::layout() {
    if (model_ != nullptr) {
        label_->setText(QString::fromStdString(HUDPresentation::pillText(*model_, Translator::current(prefs_))));
    }
    label_->adjustSize();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    label_->move(area.center().x() - label_->width() / 2, area.bottom() - kBottomMargin - label_->height());
}

void PlainHUDPanel::setAlpha(double alpha) { label_->setWindowOpacity(alpha); }

void PlainHUDPanel::orderFront() {
    layout();
    label_->show();
}

void PlainHUDPanel::orderOut() { label_->hide(); }

void PlainHUDPanel::animateAlpha(double alpha, double seconds, std::function<void()> done) {
    auto* animation = new QPropertyAnimation(label_.get(), "windowOpacity");
    animation->setDuration(static_cast<int>(seconds * kMillisecondsPerSecond));
    animation->setEndValue(alpha);
    QObject::connect(animation, &QPropertyAnimation::finished, label_.get(),
                     [this, done = std::move(done), alive = alive_] {
                         if (*alive && done) main_.post(done);
                     });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace veska::app
