// Real applications with a text field for the AT-SPI tests: a GTK3 text view (zenity) and a
// Qt Widgets QTextEdit (the program next to this file).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <optional>
#include <string>

#include "integration/atspi/AtspiDesktop.h"
#include "support/Launched.h"
#include "ports/Accessibility.h"

namespace veska::testing {

/// The first element below `root` (breadth first, at most 300) whose role is one of `roles`.
inline ports::AXElement findByRole(ports::Accessibility& ax, ports::AXElement root,
                                   std::initializer_list<std::string_view> roles) {
    std::deque<ports::AXElement> queue{root};
    for (int seen = 0; !queue.empty() && seen < 300; ++seen) {
        const ports::AXElement e = queue.front();
        queue.pop_front();
        const std::string role = ax.stringAttribute(e, ports::AXAttribute::role).value_or("");
        for (std::string_view r : roles) {
            if (role == r) return e;
        }
        for (ports::AXElement child : ax.elementsAttribute(e, ports::AXAttribute::children)
                                          .value_or(std::vector<ports::AXElement>{})) {
            queue.push_back(child);
        }
    }
    return {};
}

/// A GTK3 text view: `zenity --text-info --editable` showing a text, in front, the view focused.
class GtkField {
public:
    static constexpr const char* kTitle = "veska-gtk-field";

    /// Starts it and waits until `ax` sees its text view focused; `error()` says what failed.
    GtkField(ports::Accessibility& ax, const std::string& text) {
        if (!programExists("zenity") || !programExists("xdotool")) {
            error_ = "zenity or xdotool is not installed (scripts/setup installs them)";
            return;
        }
        const std::string file = (dir_.path() / "text").string();
        dir_.write("text", text);
        const int input = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        process_ = Launched({.argv = {"zenity", "--text-info", "--editable", std::string("--title=") + kTitle,
                                      "--width=600", "--height=400"},
                             .environment = processEnvironment(),
                             .stdinFrom = input});
        ::close(input);
        // Polled here: xdotool's own --sync waits half a second between looks.
        std::string window;
        AtspiDesktop::waitFor(
            [&] {
                window =
                    shellOutput("xdotool search --onlyvisible --pid " + std::to_string(process_.pid()) +
                                  " --name " + kTitle + " 2>/dev/null | head -n1");
                return !window.empty();
            },
            10);
        if (window.empty()) {
            error_ = "the zenity window did not appear";
            return;
        }
        (void)shellOutput("timeout 5 xdotool windowfocus --sync " + window + " 2>/dev/null");
        AtspiDesktop::waitFor([&] {
            view_ = findByRole(ax, ax.application(process_.pid()), {ports::roles::kTextArea});
            return view_ && ax.stringAttribute(view_, ports::AXAttribute::value).value_or("") == text;
        });
        if (!view_) {
            error_ = "the text view did not show up over AT-SPI";
            return;
        }
        ax.setAttribute(view_, ports::AXAttribute::focused, true);
        const bool focused = AtspiDesktop::waitFor([&] {
            return ax.elementAttribute(ax.systemWide(), ports::AXAttribute::focusedUIElement)
                       .value_or(ports::AXElement{}) == view_;
        });
        if (!focused) error_ = "the text view never got the focus";
    }

    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] pid_t pid() const { return process_.pid(); }
    [[nodiscard]] ports::AXElement view() const { return view_; }
    void kill() { process_.kill(); }
    void pause() { ::kill(process_.pid(), SIGSTOP); }
    void resume() { ::kill(process_.pid(), SIGCONT); }

private:
    TempDir dir_;
    Launched process_;
    ports::AXElement view_;
    std::string error_;
};

/// The Qt QTextEdit program, told what to show over a pipe.
class QtField {
public:
    QtField() {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        Environment environment = processEnvironment();
        environment["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1";
        environment["QT_QPA_PLATFORM"] = "xcb";
        process_ = Launched({.argv = {VESKA_QT_TEXT_FIELD}, .environment = environment, .stdinFrom = in[0], .stdoutTo = out[1]});
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = ::fdopen(out[0], "r");
        ready_ = line() == "ready";
    }
    QtField(const QtField&) = delete;
    QtField& operator=(const QtField&) = delete;
    ~QtField() {
        if (toChild_ >= 0) ::close(toChild_);
        if (fromChild_ != nullptr) std::fclose(fromChild_);
    }

    [[nodiscard]] bool ready() const { return ready_; }
    [[nodiscard]] pid_t pid() const { return process_.pid(); }

    bool show(const std::string& text, ports::TextRange selection) {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string command = "show ";
        for (unsigned char c : text) {
            command.push_back(kHex[c >> 4]);
            command.push_back(kHex[c & 15]);
        }
        command += " " + std::to_string(selection.location) + " " + std::to_string(selection.length) + "\n";
        if (::write(toChild_, command.data(), command.size()) != static_cast<ssize_t>(command.size()))
            return false;
        return line() == "shown";
    }
    void quit() { process_.kill(); }
    /// The selection as the program itself holds it: "anchor position" in UTF-16 units.
    std::string cursor() {
        if (::write(toChild_, "cursor\n", 7) != 7) return {};
        return line();
    }
    /// The text as the program itself holds it.
    std::string text() {
        if (::write(toChild_, "text\n", 5) != 5) return {};
        const std::string hex = line();
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        return bytes;
    }

private:
    std::string line() {
        std::string got;
        if (fromChild_ == nullptr) return got;
        int c = 0;
        while ((c = std::fgetc(fromChild_)) != EOF && c != '\n') got.push_back(static_cast<char>(c));
        return got;
    }

    Launched process_;
    int toChild_ = -1;
    FILE* fromChild_ = nullptr;
    bool ready_ = false;
};

}  // namespace veska::testing
