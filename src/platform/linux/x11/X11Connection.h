// One connection to the X server, with errors trapped instead of ending the process.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veska::platform {

/// Owns a `Display*`. Used from one thread at a time (each thread that talks to the server
/// opens a connection of its own). Protocol errors never reach Xlib's default handler, which
/// would end the process: calls that may fail run inside `trapped`, and stray errors are
/// dropped.
class X11Connection {
public:
    /// Connects to `displayName` (empty: $DISPLAY). Nothing when no server answers.
    [[nodiscard]] static std::unique_ptr<X11Connection> open(const std::string& displayName = {});

    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;
    ~X11Connection();

    [[nodiscard]] Display* display() const { return display_; }
    [[nodiscard]] Window root() const { return DefaultRootWindow(display_); }
    /// The atom of `name`, interned once.
    [[nodiscard]] Atom atom(const char* name);

    /// Runs `call`, waits for the server to process it, and gives the first protocol error it
    /// caused (0 when none).
    int trapped(const std::function<void()>& call);

    /// A 32-bit property of `window` as a list (windows, atoms, cardinals); empty when absent.
    [[nodiscard]] std::vector<unsigned long> cardinals(Window window, const char* property);
    /// A string property (UTF8_STRING or STRING), when present.
    [[nodiscard]] std::optional<std::string> text(Window window, const char* property);
    /// The two strings of WM_CLASS: instance and class.
    [[nodiscard]] std::optional<std::pair<std::string, std::string>> windowClass(Window window);
    /// Direct children of `window`, bottom to top; empty when the window is gone.
    [[nodiscard]] std::vector<Window> children(Window window);
    /// The parent of `window`; 0 for the root or a window that is gone.
    [[nodiscard]] Window parent(Window window);

private:
    explicit X11Connection(Display* display) : display_(display) {}

    Display* display_;
    std::map<std::string, Atom> atoms_;
};

}  // namespace veska::platform
