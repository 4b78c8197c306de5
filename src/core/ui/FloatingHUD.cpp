#include "core/ui/FloatingHUD.h"

#include <memory>
#include <utility>

namespace veska {

FloatingHUD::FloatingHUD(rt::Executor& main, HUDPanel& panel) : main_(main), panel_(panel) {
    model_.startedAt = main_.now();
}

void FloatingHUD::changed() {
    if (model_.onChange) model_.onChange();
}

void FloatingHUD::show(const HUDState& state) {
    hideWork_.cancel();
    const bool wasHidden = !panel_.isVisible() || model_.state.kind() == HUDState::Kind::idle;
    model_.state = state;
    const auto kind = state.kind();
    if (kind == HUDState::Kind::idle) {
        changed();
        fadeOut();
        return;
    }
    if (kind != HUDState::Kind::listening && kind != HUDState::Kind::speaking) model_.level = 0;
    changed();
    panel_.setAcceptsMouse(kind == HUDState::Kind::speaking);
    panel_.layout();
    if (wasHidden) fadeIn();
    const double delay = state.autoHideSeconds();
    if (delay <= 0) return;
    std::weak_ptr<FloatingHUD*> weak = self_;
    hideWork_ = main_.postAfter(delay, [weak] {
        auto self = weak.lock();
        if (!self) return;
        FloatingHUD& hud = **self;
        hud.model_.state = HUDState::Kind::idle;
        hud.changed();
        hud.fadeOut();
    });
}

void FloatingHUD::fadeIn() {
    panel_.setAlpha(0);
    panel_.orderFront();
    panel_.animateAlpha(1, kFadeInSeconds, [] {});
}

void FloatingHUD::fadeOut() {
    std::weak_ptr<FloatingHUD*> weak = self_;
    panel_.animateAlpha(0, kFadeOutSeconds, [weak] {
        auto self = weak.lock();
        if (!self) return;
        FloatingHUD& hud = **self;
        if (hud.model_.state.kind() == HUDState::Kind::idle) {
            hud.panel_.orderOut();
            hud.panel_.setAlpha(1);
            hud.model_.text.clear();
            hud.changed();
            return;
        }
        // A new state arrived while fading: stay on screen at full opacity.
        hud.panel_.setAlpha(1);
    });
}

void FloatingHUD::setLevel(double level) {
    const auto kind = model_.state.kind();
    if (kind != HUDState::Kind::listening && kind != HUDState::Kind::speaking) return;
    model_.level = level;
    changed();
}

void FloatingHUD::begin(std::string engine, std::optional<std::string> targetApp) {
    model_.engine = std::move(engine);
    model_.targetApp = std::move(targetApp);
    model_.text.clear();
    model_.level = 0;
    model_.startedAt = main_.now();
    changed();
}

void FloatingHUD::beginReading(double rate) {
    model_.engine = "Grok";
    model_.targetApp.reset();
    model_.text.clear();
    model_.level = 0;
    model_.paused = false;
    model_.rate = rate;
    model_.startedAt = main_.now();
    changed();
}

void FloatingHUD::setListeningPreview(std::string text) {
    if (model_.state.kind() != HUDState::Kind::listening) return;
    model_.text = std::move(text);
    changed();
    panel_.layout();
}

void FloatingHUD::setPaused(bool paused) {
    model_.paused = paused;
    changed();
}

void FloatingHUD::setRate(double rate) {
    model_.rate = rate;
    changed();
}

void FloatingHUD::setOutputChip(std::optional<std::string> chip) {
    model_.outputChip = std::move(chip);
    changed();
}

}  // namespace veska
