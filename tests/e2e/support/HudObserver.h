// Watching Veska's HUD from outside: its window on screen, pictures of it, what it says on the
// accessibility bus (as a screen reader reads it), and the words on a picture read by OCR
// (tesseract), as a user would read them.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/XScreen.h"
#include "support/AccessibleWindows.h"

namespace veska::e2e {

/// The HUD is the viewable floating panel of Veska's process (override-redirect, or a
/// notification, tooltip or utility window) that is not in the tray. Uses its own
/// connection to the X server; one thread.
class HudObserver {
public:
    HudObserver(E2eDesktop& desktop, pid_t veska, std::filesystem::path outputDir);
    ~HudObserver();
    HudObserver(const HudObserver&) = delete;
    HudObserver& operator=(const HudObserver&) = delete;

    /// The HUD's window now, when it is on screen.
    [[nodiscard]] std::optional<WindowInfo> window();
    /// A picture of the HUD now (empty when it is not on screen).
    [[nodiscard]] Image picture();
    /// What the HUD says now on the accessibility bus: its name and description, lower case,
    /// spaces collapsed; empty when it is not showing.
    [[nodiscard]] std::string says();
    /// The words on `picture`, read by tesseract (lower case, spaces collapsed); the picture is
    /// kept as OUTPUT/`name`.png.
    std::string read(const Image& picture, const std::string& name);

private:
    E2eDesktop& desktop_;
    pid_t veska_;
    std::filesystem::path outputDir_;
    Display* x_ = nullptr;
    testing::AccessibleWindows bus_;
};

/// One look at the HUD: when, and what it showed (empty: not on screen).
struct HudFrame {
    double seconds = 0;  ///< since the recording started
    Image picture;
    std::string words;  ///< what it said on the accessibility bus
};

/// Records the HUD on a thread of its own (its own X and bus connections), looking every 20 ms
/// and keeping a frame each time what it says on the accessibility bus changes (it appears, goes,
/// or shows another state), so that states shown for a moment are not missed while the test is
/// busy elsewhere. Each frame keeps the last picture drawn for its state. Stopped by `stop` or
/// the destructor.
class HudRecording {
public:
    HudRecording(E2eDesktop& desktop, pid_t veska, std::filesystem::path outputDir);
    ~HudRecording();
    HudRecording(const HudRecording&) = delete;
    HudRecording& operator=(const HudRecording&) = delete;

    /// Stops looking, saves the picture of every frame kept (as frame-N.png) and gives their
    /// words in order, without repeats: what the HUD said, state by state.
    std::vector<std::string> stop();
    /// The frames kept (after `stop`, with their words).
    [[nodiscard]] const std::vector<HudFrame>& frames() const { return frames_; }

private:
    void run();

    HudObserver observer_;
    std::filesystem::path outputDir_;
    std::vector<HudFrame> frames_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

/// Whether `said` holds each phrase in turn, in this order, each in a later entry than the last.
[[nodiscard]] bool saidInOrder(const std::vector<std::string>& said, const std::vector<std::string>& phrases);

/// The words of `text` as the recordings keep them: lower case, spaces collapsed.
[[nodiscard]] std::string normalized(const std::string& text);

/// Whether tesseract (with English) is installed.
[[nodiscard]] bool ocrAvailable();

}  // namespace veska::e2e
