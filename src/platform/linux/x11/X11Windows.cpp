// The application windows of an X desktop: which one is active, and whose they are.
#include "platform/linux/x11/X11Windows.h"

#include <X11/Xatom.h>

#include <algorithm>

namespace veska::platform {

namespace {

/// How far the input focus is climbed to find its application window.
constexpr int kMaxClimb = 16;

bool hasClass(X11Connection& x, Window window) {
    return x.windowClass(window).has_value();
}

bool isViewable(X11Connection& x, Window window) {
    XWindowAttributes attributes{};
    Status status = 0;
    const int error = x.trapped([&] { status = XGetWindowAttributes(x.display(), window, &attributes); });
    return error == 0 && status != 0 && attributes.map_state == IsViewable;
}

}  // namespace

ClientWindow describeWindow(X11Connection& x, Window window) {
    ClientWindow client;
    client.window = window;
    const std::vector<unsigned long> pid = x.cardinals(window, "_NET_WM_PID");
    if (!pid.empty() && pid.front() > 0 && pid.front() <= 0x7fffffff) client.pid = static_cast<std::int32_t>(pid.front());
    if (auto names = x.windowClass(window)) {
        client.instance = std::move(names->first);
        client.windowClass = std::move(names->second);
    }
    return client;
}

std::vector<ClientWindow> clientWindows(X11Connection& x) {
    std::vector<Window> windows;
    for (unsigned long w : x.cardinals(x.root(), "_NET_CLIENT_LIST_STACKING")) windows.push_back(w);
    if (windows.empty()) {
        for (unsigned long w : x.cardinals(x.root(), "_NET_CLIENT_LIST")) windows.push_back(w);
    }
    if (windows.empty()) {
        for (Window w : x.children(x.root())) {
            if (isViewable(x, w) && hasClass(x, w)) windows.push_back(w);
        }
    }
    std::vector<ClientWindow> result;
    result.reserve(windows.size());
    for (Window w : windows) result.push_back(describeWindow(x, w));
    return result;
}

std::optional<ClientWindow> activeClientWindow(X11Connection& x) {
    const std::vector<unsigned long> active = x.cardinals(x.root(), "_NET_ACTIVE_WINDOW");
    if (!active.empty() && active.front() != 0) return describeWindow(x, active.front());
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x.display(), &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == x.root()) return std::nullopt;
    for (int i = 0; i < kMaxClimb && focus != 0 && focus != x.root(); ++i) {
        if (hasClass(x, focus)) return describeWindow(x, focus);
        focus = x.parent(focus);
    }
    return std::nullopt;
}

bool supportsActiveWindowRequests(X11Connection& x) {
    const std::vector<unsigned long> supported = x.cardinals(x.root(), "_NET_SUPPORTED");
    const Atom wanted = x.atom("_NET_ACTIVE_WINDOW");
    return std::find(supported.begin(), supported.end(), wanted) != supported.end();
}

bool activateWindow(X11Connection& x, Window window) {
    if (supportsActiveWindowRequests(x)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = x.atom("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // the request comes from a pager-like tool: honour it
        event.xclient.data.l[1] = CurrentTime;
        const int error = x.trapped([&] {
            XSendEvent(x.display(), x.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        });
        return error == 0;
    }
    const int error = x.trapped([&] {
        XRaiseWindow(x.display(), window);
        XSetInputFocus(x.display(), window, RevertToParent, CurrentTime);
    });
    return error == 0;
}

}  // namespace veska::platform
