// The accessibility bus switch over libdbus, with short blocking calls.
#include "platform/linux/atspi/A11yStatus.h"

#include <dbus/dbus.h>

namespace veska::platform {

namespace {

constexpr const char* kBusName = "org.a11y.Bus";
constexpr const char* kPath = "/org/a11y/bus";
constexpr const char* kStatusInterface = "org.a11y.Status";
constexpr const char* kProperty = "IsEnabled";

/// Frees a message when it goes out of scope.
struct MessageRef {
    explicit MessageRef(DBusMessage* m) : message(m) {}
    MessageRef(const MessageRef&) = delete;
    MessageRef& operator=(const MessageRef&) = delete;
    ~MessageRef() {
        if (message != nullptr) dbus_message_unref(message);
    }
    DBusMessage* message;
};

}  // namespace

A11yStatus::~A11yStatus() {
    drop();
}

void A11yStatus::drop() {
    if (connection_ == nullptr) return;
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
    connection_ = nullptr;
}

DBusConnection* A11yStatus::connection() {
    if (connection_ != nullptr && dbus_connection_get_is_connected(connection_)) return connection_;
    drop();
    DBusError error;
    dbus_error_init(&error);
    connection_ = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    dbus_error_free(&error);
    // The process must not end when the session bus goes away.
    if (connection_ != nullptr) dbus_connection_set_exit_on_disconnect(connection_, FALSE);
    return connection_;
}

std::optional<bool> A11yStatus::isEnabled() {
    DBusConnection* bus = connection();
    if (bus == nullptr) return std::nullopt;
    MessageRef call{dbus_message_new_method_call(kBusName, kPath, DBUS_INTERFACE_PROPERTIES, "Get")};
    if (call.message == nullptr) return std::nullopt;
    const char* interface = kStatusInterface;
    const char* property = kProperty;
    dbus_message_append_args(call.message, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                             DBUS_TYPE_INVALID);
    DBusError error;
    dbus_error_init(&error);
    MessageRef reply{dbus_connection_send_with_reply_and_block(bus, call.message, kCallTimeoutMs, &error)};
    dbus_error_free(&error);
    if (reply.message == nullptr) return std::nullopt;
    DBusMessageIter iter;
    DBusMessageIter variant;
    if (!dbus_message_iter_init(reply.message, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT) {
        return std::nullopt;
    }
    dbus_message_iter_recurse(&iter, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_BOOLEAN) return std::nullopt;
    dbus_bool_t value = FALSE;
    dbus_message_iter_get_basic(&variant, &value);
    return value != FALSE;
}

bool A11yStatus::setEnabled(bool enabled) {
    DBusConnection* bus = connection();
    if (bus == nullptr) return false;
    MessageRef call{dbus_message_new_method_call(kBusName, kPath, DBUS_INTERFACE_PROPERTIES, "Set")};
    if (call.message == nullptr) return false;
    DBusMessageIter iter;
    DBusMessageIter variant;
    const char* interface = kStatusInterface;
    const char* property = kProperty;
    const dbus_bool_t value = enabled ? TRUE : FALSE;
    dbus_message_iter_init_append(call.message, &iter);
    bool built =
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &interface) &&
        dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &property) &&
        dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, DBUS_TYPE_BOOLEAN_AS_STRING, &variant);
    if (!built) return false;
    built = dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &value);
    if (!dbus_message_iter_close_container(&iter, &variant) || !built) return false;
    DBusError error;
    dbus_error_init(&error);
    MessageRef reply{dbus_connection_send_with_reply_and_block(bus, call.message, kCallTimeoutMs, &error)};
    dbus_error_free(&error);
    return reply.message != nullptr;
}

}  // namespace veska::platform
