// The HUD as the application makes it, on the test desktop: the panel, the floating HUD that
// drives it, and counters for the reading controls.
#pragma once

#include "core/ui/FloatingHUD.h"
#include "integration/hud/X11TestDesktop.h"
#include "platform/linux/hud/QtHUDPanel.h"
#include "platform/linux/qt/QtMainExecutor.h"

namespace veska::testing {

/// A work area with a 30-pixel panel at the bottom of the 1280 × 800 screen.
inline DesktopOptions hudDesktopOptions() {
    return {.sessionBus = false, .workArea = std::vector<long>{0, 0, 1280, 770}};
}

struct HUDRig {
    platform::QtMainExecutor main;
    Translator::WriteMode mode = Translator::WriteMode::normal;
    platform::QtHUDPanel panel{main, [this] { return mode; }};
    FloatingHUD hud{main, panel};
    int pauses = 0;
    int rates = 0;
    int stops = 0;

    HUDRig() {
        panel.attach(hud);
        hud.onTogglePause = [this] { ++pauses; };
        hud.onCycleRate = [this] { ++rates; };
        hud.onStopReading = [this] { ++stops; };
    }

    [[nodiscard]] Window window() { return static_cast<Window>(panel.window().winId()); }

    /// Shows `state` and waits until the window is on screen and drawn.
    void showAndSettle(const HUDState& state, X11TestDesktop& desktop) {
        hud.show(state);
        spinUntil([&] { return desktop.mapped(window()); });
        spin(0.15);
    }
};

}  // namespace veska::testing
