// The widget the HUD is drawn in: a frameless, non-activating, always-on-top window.
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

#include "core/ai/WriteMode.h"
#include "core/ui/HUDModel.h"
#include "runtime/Executor.h"

namespace veska {
class FloatingHUD;
}

namespace veska::platform {

/// Draws the HUD's model and turns clicks on the reading controls into the HUD's callbacks.
/// Redraws on every model change and, only while on screen and showing something that moves,
/// on an animation timer. Its accessible name and description (a notification's, for screen
/// readers) follow the state it shows. Lives on the GUI thread.
class HUDWindow final : public QWidget {
public:
    using ModeProvider = std::function<Translator::WriteMode()>;

    HUDWindow(rt::Executor& main, ModeProvider currentMode);
    ~HUDWindow() override;
    HUDWindow(const HUDWindow&) = delete;
    HUDWindow& operator=(const HUDWindow&) = delete;

    /// The HUD whose model is drawn and whose reading callbacks the controls call.
    void attach(FloatingHUD& hud);
    /// The model changed: redraw, and start or stop the animation timer.
    void modelChanged();
    /// The model drawn, once attached.
    [[nodiscard]] const HUDModel* model() const;
    /// The size the content needs now.
    [[nodiscard]] QSize contentSize() const;
    /// Whether the animation timer runs (tests: an idle HUD must not wake the process).
    [[nodiscard]] bool animating() const { return frames_.isActive(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void syncFrames();
    /// Sets the accessible name and description from the model.
    void describe();

    rt::Executor& main_;
    ModeProvider currentMode_;
    FloatingHUD* hud_ = nullptr;
    QTimer frames_;
};

}  // namespace veska::platform
