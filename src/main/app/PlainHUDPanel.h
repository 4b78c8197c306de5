// A plain HUD panel: the pill's text in a small frameless window that floats above the others.
#pragma once

#include <memory>

#include "core/ui/FloatingHUD.h"
#include "ports/Preferences.h"

class QLabel;
class QPropertyAnimation;

namespace veska::app {

/// Shows `HUDPresentation::pillText` of the HUD's model near the bottom of the screen holding
/// the pointer, without taking the focus. GUI thread.
class PlainHUDPanel final : public HUDPanel {
public:
    PlainHUDPanel(rt::Executor& main, const ports::Preferences& prefs);
    /// The model whose pill is shown; set once the HUD exists.
    void setModel(const HUDModel* model) { model_ = model; }
    ~PlainHUDPanel() override;
    PlainHUDPanel(const PlainHUDPanel&) = delete;
    PlainHUDPanel& operator=(const PlainHUDPanel&) = delete;

    [[nodiscard]] bool isVisible() const override;
    void setAcceptsMouse(bool accepts) override;
    void layout() override;
    void setAlpha(double alpha) override;
    void orderFront() override;
    void orderOut() override;
    void animateAlpha(double alpha, double seconds, std::function<void()> done) override;

private:
    rt::Executor& main_;
    const ports::Preferences& prefs_;
    const HUDModel* model_ = nullptr;
    std::unique_ptr<QLabel> label_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska::app
