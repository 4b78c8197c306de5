// What the floating HUD's view shows, and the panel the HUD is drawn in.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/ui/HUDState.h"

namespace veska {

/// The HUD's observable state. The view reads it; `FloatingHUD` writes it and calls `onChange`
/// after every change it makes.
struct HUDModel {
    HUDState state;
    /// Live transcript preview while listening.
    std::string text;
    /// Input or output level for the waveform, 0…1.
    double level = 0;
    /// The speech source of the current action as the controller names it ("claude_web"), or
    /// "Grok" while reading.
    std::string engine;
    /// Display name of the application that receives the text.
    std::optional<std::string> targetApp;
    /// Start of the current dictation or reading (the main executor's clock, seconds).
    double startedAt = 0;
    /// Reading is paused.
    bool paused = false;
    /// Reading speed factor.
    double rate = 1.0;
    /// A short label of the dictation's output setting ("AI ✓", "→ EN").
    std::optional<std::string> outputChip;

    /// Called after each change made through `FloatingHUD`.
    std::function<void()> onChange;
};

/// The non-activating floating panel that shows the HUD. Lives on the main executor.
class HUDPanel {
public:
    virtual ~HUDPanel() = default;
    [[nodiscard]] virtual bool isVisible() const = 0;
    /// Clicks reach the panel (true) or pass through it (false).
    virtual void setAcceptsMouse(bool accepts) = 0;
    /// Sizes the panel to its content and centres it 40 points above the bottom of the visible
    /// area of the screen holding the pointer.
    virtual void layout() = 0;
    virtual void setAlpha(double alpha) = 0;
    /// Brings the panel on screen without activating Veska.
    virtual void orderFront() = 0;
    /// Removes the panel from the screen.
    virtual void orderOut() = 0;
    /// Animates the opacity to `alpha` over `seconds`, then calls `done` on the main executor.
    virtual void animateAlpha(double alpha, double seconds, std::function<void()> done) = 0;
};

}  // namespace veska
