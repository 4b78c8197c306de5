#include "platform/linux/hud/HUDWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <set>

#include "core/ui/FloatingHUD.h"
#include "core/ui/HUDPresentation.h"
#include "platform/linux/hud/HUDDrawing.h"

namespace veska::platform {

namespace {

/// One animation frame at 60 per second.
constexpr int kFrameMilliseconds = 16;

/// Assistive technologies see the panel as a notification: screen readers read it out when it
/// appears and when its name changes, without taking the user's place in the application.
class HUDAccessible final : public QAccessibleWidget {
public:
    explicit HUDAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Notification) {}
};

/// The panels alive now. Qt asks the factory about objects still being made or unmade, whose
/// type cannot be asked: they are recognised by address.
std::set<const QObject*>& livePanels() {
    static std::set<const QObject*> panels;
    return panels;
}

QAccessibleInterface* hudAccessible(const QString& /*className*/, QObject* object) {
    if (!livePanels().contains(object)) return nullptr;
    return new HUDAccessible(static_cast<QWidget*>(object));
}

}  // namespace

HUDWindow::HUDWindow(rt::Executor& main, ModeProvider currentMode)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      main_(main),
      currentMode_(std::move(currentMode)) {
    // Known to the accessibility factory before anything here makes Qt describe the panel.
    livePanels().insert(this);
    static const bool accessible = [] {
        QAccessible::installFactory(hudAccessible);
        return true;
    }();
    (void)accessible;
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
    setFocusPolicy(Qt::NoFocus);
    // The speed button's help shows although Veska is never the active application.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setWindowTitle(QStringLiteral("Veska"));
    resize(300, 60);
    frames_.setInterval(kFrameMilliseconds);
    QObject::connect(&frames_, &QTimer::timeout, this, [this] { update(); });
}

HUDWindow::~HUDWindow() {
    livePanels().erase(this);
}

void HUDWindow::attach(FloatingHUD& hud) {
    hud_ = &hud;
    hud.model().onChange = [this] { modelChanged(); };
    modelChanged();
}

void HUDWindow::modelChanged() {
    if (isVisible()) update();
    syncFrames();
    describe();
}

void HUDWindow::describe() {
    if (hud_ == nullptr) return;
    const Translator::WriteMode mode = currentMode_ ? currentMode_() : Translator::WriteMode::normal;
    // Each change is announced to assistive technologies: only real changes are made.
    const QString name = QString::fromStdString(HUDPresentation::accessibleName(hud_->model(), mode));
    if (name != accessibleName()) setAccessibleName(name);
    const QString description = QString::fromStdString(HUDPresentation::accessibleDescription(hud_->model()));
    if (description != accessibleDescription()) setAccessibleDescription(description);
}

const HUDModel* HUDWindow::model() const {
    return hud_ != nullptr ? &hud_->model() : nullptr;
}

QSize HUDWindow::contentSize() const {
    if (hud_ == nullptr) return size();
    const Translator::WriteMode mode = currentMode_ ? currentMode_() : Translator::WriteMode::normal;
    return HUDDrawing::contentSize({hud_->model(), mode, main_.now()});
}

void HUDWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (hud_ == nullptr) return;
    const Translator::WriteMode mode = currentMode_ ? currentMode_() : Translator::WriteMode::normal;
    HUDDrawing::paint(painter, size(), {hud_->model(), mode, main_.now()});
}

bool HUDWindow::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const bool reading = hud_ != nullptr && hud_->model().state.kind() == HUDState::Kind::speaking;
    const QRectF rate = reading ? HUDDrawing::readingControls(hud_->model()).rate : QRectF();
    if (rate.contains(help->pos())) {
        QToolTip::showText(help->globalPos(), QString::fromStdString(HUDPresentation::speedHelp()), this,
                           rate.toAlignedRect());
    } else {
        QToolTip::hideText();
    }
    return true;
}

void HUDWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (hud_ == nullptr || hud_->model().state.kind() != HUDState::Kind::speaking) return;
    if (event->button() != Qt::LeftButton) return;
    const auto controls = HUDDrawing::readingControls(hud_->model());
    const QPointF at = event->position();
    // The callbacks may change the model (and so the controls): pick the callback first.
    std::function<void()> action;
    if (controls.pause.contains(at)) action = hud_->onTogglePause;
    if (controls.rate.contains(at)) action = hud_->onCycleRate;
    if (controls.stop.contains(at)) action = hud_->onStopReading;
    if (action) action();
}

void HUDWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    syncFrames();
}

void HUDWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    syncFrames();
}

void HUDWindow::syncFrames() {
    const bool moving = hud_ != nullptr && isVisible() && HUDDrawing::animates(hud_->model());
    if (moving && !frames_.isActive()) frames_.start();
    if (!moving && frames_.isActive()) frames_.stop();
}

}  // namespace veska::platform
