// The applications Veska types into in the end-to-end tests: a GTK3 text view read back over
// AT-SPI, and xterm, whose received bytes are kept in a file.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "e2e/support/E2eDesktop.h"
#include "e2e/support/Launched.h"
#include "ports/Accessibility.h"
#include "support/TempDir.h"

namespace veska::e2e {

/// `zenity --text-info --editable`: a GtkTextView, in front and focused once constructed.
class GtkTextView {
public:
    /// `ax` is used from the calling thread only.
    GtkTextView(E2eDesktop& desktop, ports::Accessibility& ax, const std::string& title,
                const std::string& initialText = {});

    /// Empty when it is up, focused and readable; else what failed.
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] pid_t pid() const { return process_.pid(); }
    [[nodiscard]] Window window() const { return window_; }
    /// The whole text now, read over AT-SPI; nothing when it cannot be read.
    [[nodiscard]] std::optional<std::string> text() const;
    /// Its length now in UTF-16 units; -1 when it cannot be read.
    [[nodiscard]] std::int64_t length() const;
    /// Gives it the keyboard focus again and waits until the server says so.
    bool focus();

private:
    E2eDesktop& desktop_;
    ports::Accessibility& ax_;
    testing::TempDir dir_;
    Launched process_;
    Window window_ = 0;
    ports::AXElement view_{};
    std::string error_;
};

/// xterm running `cat` on a raw terminal: every byte the terminal sends its program lands in a
/// file. Configured, as a user would, to paste the clipboard on Control+Shift+V.
class XtermTarget {
public:
    XtermTarget(E2eDesktop& desktop, const std::string& title);

    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] pid_t pid() const { return process_.pid(); }
    [[nodiscard]] Window window() const { return window_; }
    /// The bytes received so far, with erasing keys applied.
    [[nodiscard]] std::string text() const;
    /// The bytes received so far, as they came.
    [[nodiscard]] std::string received() const;
    bool focus();

private:
    E2eDesktop& desktop_;
    testing::TempDir dir_;
    Launched process_;
    Window window_ = 0;
    std::string error_;
};

/// Moves the keyboard focus to `window` (no window manager: the server's focus) and waits
/// until it is there.
bool focusWindow(Display* x, Window window);

}  // namespace veska::e2e
