#include "platform/linux/tray/TrayHostWatcher.h"

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>
#include <utility>

namespace veska::platform {

namespace {

xcb_connection_t* connection() {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const xcb_atom_t out = reply->atom;
    std::free(reply);
    return out;
}

/// The announcement goes to the root window with StructureNotify: add that to the events this
/// client already takes from the root, keeping Qt's own.
void listenToRoot(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it)) {
        const xcb_window_t root = it.data->root;
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr);
        if (attributes == nullptr) continue;
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        std::free(attributes);
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    }
    xcb_flush(c);
}

}  // namespace

TrayHostWatcher::TrayHostWatcher(std::function<void()> onHost) : onHost_(std::move(onHost)) {
    xcb_connection_t* c = connection();
    if (c == nullptr) return;
    manager_ = atom(c, "MANAGER");
    traySelection_ = atom(c, "_NET_SYSTEM_TRAY_S0");
    listenToRoot(c);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TrayHostWatcher::~TrayHostWatcher() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool TrayHostWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t" || manager_ == 0) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->type != manager_ || client->format != 32 || client->data.data32[1] != traySelection_)
        return false;
    // Let Qt see the new manager first (it tracks the tray too), then react.
    QTimer::singleShot(0, &anchor_, [this] {
        if (onHost_) onHost_();
    });
    return false;
}

}  // namespace veska::platform
