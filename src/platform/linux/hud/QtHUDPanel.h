// The HUD's panel on X11 through Qt Widgets.
#pragma once

#include <QVariantAnimation>

#include <functional>
#include <memory>

#include "core/ui/HUDModel.h"
#include "platform/linux/hud/HUDWindow.h"
#include "runtime/Executor.h"

namespace veska {
class FloatingHUD;
}

namespace veska::platform {

/// The floating HUD's panel: a frameless window above the others on every desktop that never
/// takes the keyboard focus, lets clicks through unless asked to accept them, fades through
/// the window's opacity and sits centred 40 points above the bottom of the work area of the
/// screen under the pointer. Made on the GUI thread after the QApplication and destroyed
/// before it; `main` is the executor of that thread (fade completions are posted there).
class QtHUDPanel final : public HUDPanel {
public:
    /// Distance from the bottom of the work area to the panel's bottom edge.
    static constexpr int kBottomMargin = 40;

    /// `currentMode`: the writing mode now, which the fixing text names.
    QtHUDPanel(rt::Executor& main, HUDWindow::ModeProvider currentMode);
    ~QtHUDPanel() override;
    QtHUDPanel(const QtHUDPanel&) = delete;
    QtHUDPanel& operator=(const QtHUDPanel&) = delete;

    /// Draws `hud`'s model (taking its `onChange`) and sends the reading controls' clicks to
    /// its `onTogglePause`, `onCycleRate` and `onStopReading`, read at each click.
    void attach(FloatingHUD& hud);

    [[nodiscard]] bool isVisible() const override;
    void setAcceptsMouse(bool accepts) override;
    void layout() override;
    void setAlpha(double alpha) override;
    void orderFront() override;
    void orderOut() override;
    void animateAlpha(double alpha, double seconds, std::function<void()> done) override;

    /// The window, for tests and pictures.
    [[nodiscard]] HUDWindow& window() { return *window_; }
    [[nodiscard]] double alpha() const;
    [[nodiscard]] bool acceptsMouse() const { return acceptsMouse_; }

private:
    void finishFade();

    rt::Executor& main_;
    std::unique_ptr<HUDWindow> window_;
    std::unique_ptr<QVariantAnimation> fade_;
    std::function<void()> fadeDone_;
    bool acceptsMouse_ = false;
    /// Lets completions posted to the executor do nothing once the panel is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska::platform
