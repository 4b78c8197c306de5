// The floating HUD: the one entry for state changes, its automatic hide and its fades.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/ui/HUDModel.h"
#include "core/ui/HUDState.h"
#include "runtime/Executor.h"

namespace veska {

/// Drives the HUD panel from the controller's states. One per process; lives on the main
/// executor as long as the application. Finished states hide by themselves; every `show`
/// cancels a pending hide.
class FloatingHUD {
public:
    static constexpr double kFadeInSeconds = 0.16;
    static constexpr double kFadeOutSeconds = 0.14;

    FloatingHUD(rt::Executor& main, HUDPanel& panel);
    FloatingHUD(const FloatingHUD&) = delete;
    FloatingHUD& operator=(const FloatingHUD&) = delete;

    /// Reading controls, set by the application.
    std::function<void()> onTogglePause;
    std::function<void()> onCycleRate;
    std::function<void()> onStopReading;

    void show(const HUDState& state);
    /// Stored only while listening or speaking.
    void setLevel(double level);
    /// A dictation starts.
    void begin(std::string engine, std::optional<std::string> targetApp);
    /// A reading starts.
    void beginReading(double rate);
    /// Only while listening.
    void setListeningPreview(std::string text);
    void setPaused(bool paused);
    void setRate(double rate);
    void setOutputChip(std::optional<std::string> chip);

    [[nodiscard]] const HUDModel& model() const { return model_; }
    [[nodiscard]] HUDModel& model() { return model_; }
    /// Whether an automatic hide is pending.
    [[nodiscard]] bool hidePending() const { return hideWork_.pending(); }

private:
    void changed();
    void fadeIn();
    void fadeOut();

    rt::Executor& main_;
    HUDPanel& panel_;
    HUDModel model_;
    rt::Timer hideWork_;
    /// Lets fade completions that arrive after the HUD is gone do nothing.
    std::shared_ptr<FloatingHUD*> self_ = std::make_shared<FloatingHUD*>(this);
};

}  // namespace veska
