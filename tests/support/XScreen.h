// What tests on a private desktop look at on the X server: windows by process, the tray, pixels.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace veska::testing {

/// A window as the tests see it.
struct WindowInfo {
    Window id = 0;
    int x = 0;  ///< position on the root window
    int y = 0;
    int width = 0;
    int height = 0;
    bool viewable = false;
    bool overrideRedirect = false;
    std::string name;
    std::string windowClass;
    /// _NET_WM_WINDOW_TYPE without its prefix, in lower case ("normal", "notification", ...).
    std::vector<std::string> types;
};

/// The first top-level window (a child of the root, or a child's child, as toolkits nest
/// them) whose _NET_WM_PID is `pid`; 0 when none.
[[nodiscard]] Window topLevelWindowOf(Display* x, pid_t pid);
/// Every window below the root whose _NET_WM_PID is `pid`, with its state now.
[[nodiscard]] std::vector<WindowInfo> windowsOf(Display* x, pid_t pid);
/// A window's state now; nothing when it is gone.
[[nodiscard]] std::optional<WindowInfo> describe(Display* x, Window window);
/// Whether `window` sits inside a top-level window of process `pid` (an icon docked in a tray
/// host is reparented into one of the host's windows).
[[nodiscard]] bool isInsideWindowOf(Display* x, Window window, pid_t pid);
/// Every descendant of `window`, breadth first (at most `limit`).
[[nodiscard]] std::vector<Window> descendants(Display* x, Window window, std::size_t limit = 4096);

/// Asks `window` to close as a window manager's close button does (WM_DELETE_WINDOW).
void askToClose(Display* x, Window window);

/// An RGB picture of part of the screen.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  ///< width × height × 3 bytes, rows top to bottom

    [[nodiscard]] bool empty() const { return width == 0 || height == 0; }
    /// How many pixels are within `tolerance` (per channel) of the colour.
    [[nodiscard]] int countNear(std::uint8_t r, std::uint8_t g, std::uint8_t b, int tolerance) const;
    /// Pixels that differ from the top-left pixel by more than `tolerance` on some channel.
    [[nodiscard]] int countUnlikeCorner(int tolerance) const;
};

/// The rectangle of the root window, or of `window` (root coordinates of a viewable window);
/// empty when it cannot be read. Depths of 24 and 32 bits and 16-bit 565 are understood.
[[nodiscard]] Image capture(Display* x, Window window = 0);
/// Writes a PNG file (8-bit RGB), creating its folder; false on failure.
bool writePng(const Image& image, const std::filesystem::path& file);

}  // namespace veska::testing
