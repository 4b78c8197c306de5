// The private desktop of the Qt window tests: the shared rig with one QApplication, and a second
// X connection that plays the user and the other applications (pointer, clicks, focus, screen
// grabs). Everything started is stopped by its pid when the process ends.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QRect>
#include <QTimer>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/PrivateDesktop.h"

// Xlib's macros must come after the test framework's and Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace veska::testing {

/// Runs Qt's event loop for `seconds`.
inline void spin(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

/// Runs Qt's event loop until `done` holds, for up to `seconds`.
template <class Pred>
bool spinUntil(Pred done, double seconds = 5) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < static_cast<qint64>(seconds * 1000)) {
        if (done()) return true;
        spin(0.01);
    }
    return done();
}

using DesktopOptions = PrivateDesktopOptions;

/// The process's private desktop with one QApplication on it, and this process's own X
/// connection playing the user and the other applications.
class X11TestDesktop {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 800;

    /// The one desktop of the process, made at the first call with these options.
    static X11TestDesktop& get(const DesktopOptions& options = {}) {
        // Qt objects outlive static destructors: the desktop is never destroyed, only stopped.
        static auto* desktop = [&] {
            auto* made = new X11TestDesktop(options);
            std::atexit([] { get().desktop_.stop(); });
            return made;
        }();
        return *desktop;
    }

    [[nodiscard]] const std::string& missing() const { return desktop_.missing(); }
    [[nodiscard]] Display* user() const { return desktop_.x(); }
    [[nodiscard]] Window root() const { return DefaultRootWindow(user()); }

    /// Starts a program on the desktop (a tray host); stopped with the desktop.
    void start(std::vector<std::string> args) { desktop_.start(std::move(args)); }
    /// Ends the program started last, as a crash would.
    void killLast() { desktop_.killLast(); }

    /// The pointer moves to (x, y).
    void movePointer(int x, int y) const {
        XTestFakeMotionEvent(user(), 0, x, y, CurrentTime);
        XSync(user(), False);
    }
    /// A click of `button` at (x, y).
    void click(int x, int y, unsigned button = 1) const {
        movePointer(x, y);
        XTestFakeButtonEvent(user(), button, True, CurrentTime);
        XTestFakeButtonEvent(user(), button, False, CurrentTime);
        XSync(user(), False);
    }

    /// What the screen shows in `x, y, width, height` (what a person would see).
    [[nodiscard]] QImage grab(int x, int y, int width, int height) const {
        XSync(user(), False);
        XImage* image = XGetImage(user(), root(), x, y, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image == nullptr) return {};
        QImage out(width, height, QImage::Format_RGB32);
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                out.setPixel(column, row, static_cast<QRgb>(0xff000000U | XGetPixel(image, column, row)));
            }
        }
        XDestroyImage(image);
        return out;
    }

    /// A window's place on the screen as the X server has it: x, y, width, height.
    [[nodiscard]] std::optional<QRect> geometry(Window window) const {
        Window ignored = 0;
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
        unsigned border = 0;
        unsigned depth = 0;
        if (XGetGeometry(user(), window, &ignored, &x, &y, &width, &height, &border, &depth) == 0)
            return std::nullopt;
        if (XTranslateCoordinates(user(), window, root(), 0, 0, &x, &y, &ignored) == 0) return std::nullopt;
        return QRect(x, y, static_cast<int>(width), static_cast<int>(height));
    }

    [[nodiscard]] bool mapped(Window window) const {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(user(), window, &attributes) != 0 && attributes.map_state == IsViewable;
    }

    /// The 32-bit values of a window property, or nothing when it is absent.
    [[nodiscard]] std::optional<std::vector<unsigned long>> property(Window window, const char* name) const {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const Atom atom = XInternAtom(user(), name, False);
        if (XGetWindowProperty(user(), window, atom, 0, 64, False, AnyPropertyType, &type, &format, &count,
                               &after, &data) != Success ||
            type == None) {
            return std::nullopt;
        }
        std::vector<unsigned long> values;
        if (format == 32) {
            const auto* longs = reinterpret_cast<const unsigned long*>(data);
            // Xlib hands 32-bit values out in longs, sign-extended.
            for (unsigned long i = 0; i < count; ++i) values.push_back(longs[i] & 0xFFFFFFFFUL);
        }
        XFree(data);
        return values;
    }

    [[nodiscard]] Atom atom(const char* name) const { return XInternAtom(user(), name, False); }

    /// Another application's window, mapped, taking button presses.
    [[nodiscard]] Window makeWindow(int x, int y, int width, int height, double waitSeconds = 5) const {
        XSetWindowAttributes attributes{};
        attributes.background_pixel = WhitePixel(user(), DefaultScreen(user()));
        attributes.event_mask = ButtonPressMask | StructureNotifyMask | FocusChangeMask;
        const Window window = XCreateWindow(user(), root(), x, y, static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                            CopyFromParent, CWBackPixel | CWEventMask, &attributes);
        XMapWindow(user(), window);
        XSync(user(), False);
        // A window manager maps it when it has taken it in.
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
        while (!mapped(window) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return window;
    }

    /// Button presses `window` got since the last call.
    [[nodiscard]] int pressesOn(Window window) const {
        XSync(user(), False);
        int count = 0;
        XEvent event;
        while (XCheckTypedWindowEvent(user(), window, ButtonPress, &event) != 0) ++count;
        return count;
    }

    [[nodiscard]] Window inputFocus() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(user(), &focus, &revert);
        return focus;
    }

private:
    explicit X11TestDesktop(const DesktopOptions& options) : desktop_(options) {
        if (!desktop_.missing().empty()) return;
        static int argc = 1;
        static char name[] = "veska_x11_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }

    PrivateDesktop desktop_;
    QApplication* app_ = nullptr;
};

}  // namespace veska::testing
