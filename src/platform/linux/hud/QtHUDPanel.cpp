#include "platform/linux/hud/QtHUDPanel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

#include <utility>

#include "core/ui/FloatingHUD.h"
#include "platform/linux/hud/HUDDrawing.h"
#include "platform/linux/hud/HUDWindowHints.h"

namespace veska::platform {

namespace {

QScreen* screenUnderPointer() {
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) return screen;
    const auto screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

}  // namespace

QtHUDPanel::QtHUDPanel(rt::Executor& main, HUDWindow::ModeProvider currentMode)
    : main_(main), window_(std::make_unique<HUDWindow>(main, std::move(currentMode))) {}

QtHUDPanel::~QtHUDPanel() {
    *alive_ = false;
    if (fade_) fade_->stop();
}

void QtHUDPanel::attach(FloatingHUD& hud) {
    window_->attach(hud);
}

bool QtHUDPanel::isVisible() const {
    return window_->isVisible();
}

void QtHUDPanel::setAcceptsMouse(bool accepts) {
    if (accepts == acceptsMouse_) return;
    acceptsMouse_ = accepts;
    if (window_->testAttribute(Qt::WA_WState_Created)) HUDWindowHints::setClickThrough(*window_, !accepts);
}

void QtHUDPanel::layout() {
    const QSize size = window_->contentSize();
    window_->resize(size);
    if (QScreen* screen = screenUnderPointer()) {
        const QRect area = screen->availableGeometry();
        const int x = area.x() + (area.width() - size.width()) / 2;
        const int y = area.y() + area.height() - kBottomMargin - size.height();
        window_->move(x, y);
    }
    // Without a compositor transparent corners would show black: cut the window to its shape.
    const HUDModel* model = window_->model();
    if (model != nullptr && !HUDWindowHints::compositing()) {
        window_->setMask(QRegion(HUDDrawing::outline(size, *model).toFillPolygon().toPolygon()));
    }
    window_->update();
}

void QtHUDPanel::setAlpha(double alpha) {
    window_->setWindowOpacity(alpha);
}

double QtHUDPanel::alpha() const {
    return window_->windowOpacity();
}

void QtHUDPanel::orderFront() {
    if (!window_->isVisible()) {
        HUDWindowHints::applyBeforeMap(*window_);
        HUDWindowHints::setClickThrough(*window_, !acceptsMouse_);
        window_->show();
    }
    window_->raise();
}

void QtHUDPanel::orderOut() {
    window_->hide();
}

void QtHUDPanel::animateAlpha(double alpha, double seconds, std::function<void()> done) {
    // A fade that is replaced ends where it stands; its completion still comes.
    if (fade_) {
        fade_->stop();
        finishFade();
    }
    fadeDone_ = std::move(done);
    fade_ = std::make_unique<QVariantAnimation>();
    fade_->setStartValue(window_->windowOpacity());
    fade_->setEndValue(alpha);
    fade_->setDuration(std::max(0, static_cast<int>(seconds * 1000)));
    QObject::connect(fade_.get(), &QVariantAnimation::valueChanged, window_.get(),
                     [this](const QVariant& value) { window_->setWindowOpacity(value.toDouble()); });
    QObject::connect(fade_.get(), &QVariantAnimation::finished, window_.get(), [this, alpha] {
        window_->setWindowOpacity(alpha);
        finishFade();
    });
    fade_->start();
}

void QtHUDPanel::finishFade() {
    auto done = std::exchange(fadeDone_, nullptr);
    if (!done) return;
    std::weak_ptr<bool> alive = alive_;
    main_.post([alive, done = std::move(done)] {
        if (alive.lock()) done();
    });
}

}  // namespace veska::platform
