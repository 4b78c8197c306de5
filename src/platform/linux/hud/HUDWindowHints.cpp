#include "platform/linux/hud/HUDWindowHints.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

#include <xcb/xcb.h>

// Xlib last: its macros clash with Qt names.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace veska::platform::HUDWindowHints {

namespace {

/// Every desktop, as `_NET_WM_DESKTOP` says it.
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
/// More states than any window carries; a longer property is cut here.
constexpr std::uint32_t kMaxStates = 64;

xcb_connection_t* connection() {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const xcb_atom_t out = reply->atom;
    std::free(reply);
    return out;
}

std::vector<xcb_atom_t> currentStates(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    std::vector<xcb_atom_t> states;
    auto cookie = xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, kMaxStates);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (reply == nullptr) return states;
    if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        states.assign(values, values + count);
    }
    std::free(reply);
    return states;
}

}  // namespace

void applyBeforeMap(QWidget& window) {
    xcb_connection_t* c = connection();
    if (c == nullptr) return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &kAllDesktops);
    const xcb_atom_t stateProperty = atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states = currentStates(c, id, stateProperty);
    for (const char* name : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                             "_NET_WM_STATE_ABOVE"}) {
        const xcb_atom_t state = atom(c, name);
        if (std::find(states.begin(), states.end(), state) == states.end()) states.push_back(state);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, stateProperty, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
    xcb_flush(c);
}

void setClickThrough(QWidget& window, bool clickThrough) {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) return;
    const auto id = static_cast<Window>(window.winId());
    if (clickThrough) {
        XShapeCombineRectangles(display, id, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    } else {
        // No mask: the input shape is the window's shape again, at whatever size it takes.
        XShapeCombineMask(display, id, ShapeInput, 0, 0, 0, ShapeSet);
    }
    XFlush(display);
}

bool compositing() {
    xcb_connection_t* c = connection();
    if (c == nullptr) return false;
    const xcb_atom_t selection = atom(c, "_NET_WM_CM_S0");
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (reply == nullptr) return false;
    const bool owned = reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

}  // namespace veska::platform::HUDWindowHints
