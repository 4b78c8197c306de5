// Watching Veska's HUD from outside: its window on screen, pictures of it, and the words on it
// read by OCR (tesseract), as a user would read them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/XScreen.h"

namespace veska::e2e {

/// The HUD is the viewable window of Veska's process that is not in the tray. Uses its own
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
    /// The words on `picture`, read by tesseract (lower case, spaces collapsed); the picture is
    /// kept as OUTPUT/`name`.png.
    std::string read(const Image& picture, const std::string& name);
    /// Looks at the HUD every `stepMs` until its words contain `phrase` (lower case) or
    /// `seconds` pass; the last picture is kept as `name`.png. Gives the words last read.
    std::string waitForWords(const std::string& phrase, const std::string& name, double seconds = 15);

private:
    E2eDesktop& desktop_;
    pid_t veska_;
    std::filesystem::path outputDir_;
    Display* x_ = nullptr;
};

/// Whether tesseract (with English) is installed.
[[nodiscard]] bool ocrAvailable();

}  // namespace veska::e2e
