// A GTK3 text view and xterm as targets of Veska's typing.
#include "e2e/support/TextTargets.h"

#include <fcntl.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <iterator>

#include "e2e/support/TextMeasure.h"
#include "e2e/support/XScreen.h"

namespace veska::e2e {

namespace {

using ports::AXAttribute;
using ports::AXElement;

constexpr double kAppearSeconds = 30;

/// The first element below `root` (breadth first, at most 300) with the role.
AXElement findByRole(ports::Accessibility& ax, AXElement root, std::string_view role) {
    std::deque<AXElement> queue{root};
    for (int seen = 0; !queue.empty() && seen < 300; ++seen) {
        const AXElement e = queue.front();
        queue.pop_front();
        if (ax.stringAttribute(e, AXAttribute::role).value_or("") == role) return e;
        for (AXElement child : ax.elementsAttribute(e, AXAttribute::children).value_or(std::vector<AXElement>{})) {
            queue.push_back(child);
        }
    }
    return {};
}

Window waitForWindow(Display* x, pid_t pid) {
    Window window = 0;
    E2eDesktop::waitFor(
        [&] {
            for (const WindowInfo& info : windowsOf(x, pid)) {
                if (info.viewable && !info.name.empty()) {
                    window = info.id;
                    return true;
                }
            }
            return false;
        },
        kAppearSeconds, 20);
    return window;
}

}  // namespace

bool focusWindow(Display* x, Window window) {
    XRaiseWindow(x, window);
    XSetInputFocus(x, window, RevertToParent, CurrentTime);
    XSync(x, False);
    return E2eDesktop::waitFor([&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(x, &focus, &revert);
        return focus == window;
    }, 5);
}

GtkTextView::GtkTextView(E2eDesktop& desktop, ports::Accessibility& ax, const std::string& title,
                         const std::string& initialText)
    : desktop_(desktop), ax_(ax) {
    dir_.write("text", initialText);
    const std::string file = (dir_.path() / "text").string();
    const int input = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    Environment env = desktop.environment();
    env["HOME"] = dir_.path().string();
    process_ = Launched({.argv = {"zenity", "--text-info", "--editable", "--title=" + title, "--width=700",
                                 "--height=420"},
                         .environment = env,
                         .stdinFrom = input});
    ::close(input);
    window_ = waitForWindow(desktop.x(), process_.pid());
    if (window_ == 0) {
        error_ = "the zenity window did not appear";
        return;
    }
    E2eDesktop::waitFor([&] {
        view_ = findByRole(ax_, ax_.application(process_.pid()), ports::roles::kTextArea);
        return view_ && ax_.stringAttribute(view_, AXAttribute::value).value_or("\x01") == initialText;
    }, kAppearSeconds, 20);
    if (!view_) {
        error_ = "the text view did not show up over AT-SPI";
        return;
    }
    if (!focus()) error_ = "the text view never got the focus";
}

bool GtkTextView::focus() {
    if (!focusWindow(desktop_.x(), window_)) return false;
    (void)ax_.setAttribute(view_, AXAttribute::focused, true);
    return E2eDesktop::waitFor([&] {
        return ax_.elementAttribute(ax_.systemWide(), AXAttribute::focusedUIElement).value_or(AXElement{}) == view_;
    }, 10);
}

std::optional<std::string> GtkTextView::text() const {
    auto value = ax_.stringAttribute(view_, AXAttribute::value);
    if (!value) return std::nullopt;
    return *value;
}

std::int64_t GtkTextView::length() const {
    auto count = ax_.attribute(view_, AXAttribute::numberOfCharacters);
    if (!count) return -1;
    const auto* number = std::get_if<std::int64_t>(&*count);
    return number != nullptr ? *number : -1;
}

XtermTarget::XtermTarget(E2eDesktop& desktop, const std::string& title) : desktop_(desktop) {
    if (findProgram("xterm").empty()) {
        error_ = "xterm is not installed (scripts/setup installs it)";
        return;
    }
    const std::string received = (dir_.path() / "received").string();
    dir_.write("received", "");
    Environment env = desktop.environment();
    env["HOME"] = dir_.path().string();
    // The terminal hands every byte over at once (raw), and shows nothing itself (-echo).
    process_ = Launched(
        {.argv = {"xterm", "-u8", "-title", title, "-geometry", "100x20+40+300", "-xrm",
                  "XTerm*VT100.translations: #override Ctrl Shift <Key>V: insert-selection(CLIPBOARD)", "-e",
                  "/bin/sh", "-c", "stty raw -echo && echo ready > '" + received + ".ready' && exec cat > '" +
                                       received + "'"},
         .environment = env});
    window_ = waitForWindow(desktop.x(), process_.pid());
    if (window_ == 0) {
        error_ = "the xterm window did not appear";
        return;
    }
    if (!E2eDesktop::waitFor([&] { return std::filesystem::exists(received + ".ready"); }, kAppearSeconds)) {
        error_ = "the terminal's program did not start";
        return;
    }
    if (!focus()) error_ = "xterm never got the focus";
}

bool XtermTarget::focus() { return focusWindow(desktop_.x(), window_); }

std::string XtermTarget::received() const {
    std::ifstream in(dir_.path() / "received", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string XtermTarget::text() const { return applyTerminalErase(received()); }

}  // namespace veska::e2e
