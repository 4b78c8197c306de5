// A test client's top-level window on the private X server: its class, its owner's pid, and
// the keys that reached it.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace veska::testing {

struct ReceivedKey {
    std::string keysym;
    bool down = true;
    unsigned int state = 0;  ///< modifier mask at the time (ShiftMask, ControlMask...)
};

class ProbeWindow {
public:
    ProbeWindow(Display* display, const std::string& instance, const std::string& windowClass, long pid)
        : display_(display) {
        window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 200, 100, 0, 0, 0);
        XClassHint hint;
        std::string i = instance;
        std::string c = windowClass;
        hint.res_name = i.data();
        hint.res_class = c.data();
        XSetClassHint(display, window_, &hint);
        XChangeProperty(display, window_, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
        XSelectInput(display, window_, KeyPressMask | KeyReleaseMask | FocusChangeMask);
        XMapWindow(display, window_);
        XSync(display, False);
    }
    ~ProbeWindow() {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
    }

    [[nodiscard]] Window window() const { return window_; }

    void focus() {
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }

    /// The key events that arrived, waiting up to `wantedCount` of them for a short while
    /// (the server delivers XTest keys asynchronously).
    std::vector<ReceivedKey> keys(std::size_t wantedCount, std::chrono::milliseconds patience = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (received_.size() < wantedCount && std::chrono::steady_clock::now() < deadline) {
            drain();
            if (received_.size() < wantedCount) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        drain();
        return received_;
    }

private:
    void drain() {
        XSync(display_, False);
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != KeyPress && event.type != KeyRelease) continue;
            if (event.xkey.window != window_) continue;
            const KeySym keysym = XLookupKeysym(&event.xkey, 0);
            const char* name = XKeysymToString(keysym);
            received_.push_back({name != nullptr ? name : "?", event.type == KeyPress, event.xkey.state});
        }
    }

    Display* display_;
    Window window_ = 0;
    std::vector<ReceivedKey> received_;
};

}  // namespace veska::testing
