// Reading a process's windows on the accessibility bus: the registry's applications, each
// application's children, and their role, state, name and description.
#include "support/AccessibleWindows.h"

#include <atspi/atspi-constants.h>
#include <dbus/dbus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace veska::testing {

namespace {

constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kRoot = "/org/a11y/atspi/accessible/root";
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";

struct MessageDeleter {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageDeleter>;

using Reference = AccessibleWindows::Reference;

Message call(DBusConnection* bus, const char* destination, const char* path, const char* interface,
             const char* method, const std::vector<const char*>& stringArguments = {}) {
    Message request(dbus_message_new_method_call(destination, path, interface, method));
    if (!request) return nullptr;
    for (const char* argument : stringArguments) {
        dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &argument, DBUS_TYPE_INVALID);
    }
    DBusError error;
    dbus_error_init(&error);
    Message reply(dbus_connection_send_with_reply_and_block(bus, request.get(), AccessibleWindows::kCallTimeoutMs,
                                                            &error));
    dbus_error_free(&error);
    return reply;
}

DBusConnection* connect(const std::string& address) {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_connection_open_private(address.c_str(), &error);
    if (bus != nullptr && dbus_bus_register(bus, &error) == 0) {
        dbus_connection_close(bus);
        dbus_connection_unref(bus);
        bus = nullptr;
    }
    dbus_error_free(&error);
    if (bus != nullptr) dbus_connection_set_exit_on_disconnect(bus, FALSE);
    return bus;
}

/// The one string of a reply, or of the variant it holds.
std::optional<std::string> stringOf(DBusMessage* reply) {
    DBusMessageIter it;
    if (reply == nullptr || dbus_message_iter_init(reply, &it) == 0) return std::nullopt;
    DBusMessageIter inner;
    if (dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(&it, &inner);
        it = inner;
    }
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING) return std::nullopt;
    const char* text = nullptr;
    dbus_message_iter_get_basic(&it, &text);
    return std::string(text != nullptr ? text : "");
}

/// The objects listed by a reply of GetChildren, a(so).
std::vector<Reference> referencesOf(DBusMessage* reply) {
    std::vector<Reference> out;
    DBusMessageIter it;
    if (reply == nullptr || dbus_message_iter_init(reply, &it) == 0 ||
        dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) {
        return out;
    }
    DBusMessageIter array;
    dbus_message_iter_recurse(&it, &array);
    while (dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRUCT) {
        DBusMessageIter fields;
        dbus_message_iter_recurse(&array, &fields);
        const char* name = nullptr;
        const char* path = nullptr;
        if (dbus_message_iter_get_arg_type(&fields) == DBUS_TYPE_STRING) dbus_message_iter_get_basic(&fields, &name);
        dbus_message_iter_next(&fields);
        if (dbus_message_iter_get_arg_type(&fields) == DBUS_TYPE_OBJECT_PATH) {
            dbus_message_iter_get_basic(&fields, &path);
        }
        if (name != nullptr && path != nullptr) out.emplace_back(name, path);
        dbus_message_iter_next(&array);
    }
    return out;
}

/// The first word of a GetState reply (au): whether `state` is set.
bool hasState(DBusMessage* reply, int state) {
    DBusMessageIter it;
    if (reply == nullptr || dbus_message_iter_init(reply, &it) == 0 ||
        dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) {
        return false;
    }
    DBusMessageIter words;
    dbus_message_iter_recurse(&it, &words);
    for (int word = 0; dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; ++word) {
        std::uint32_t bits = 0;
        dbus_message_iter_get_basic(&words, &bits);
        if (word == state / 32) return ((bits >> (state % 32)) & 1U) != 0;
        dbus_message_iter_next(&words);
    }
    return false;
}

std::optional<std::uint32_t> processOf(DBusConnection* bus, const std::string& name) {
    const Message reply = call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "GetConnectionUnixProcessID", {name.c_str()});
    DBusMessageIter it;
    if (!reply || dbus_message_iter_init(reply.get(), &it) == 0 ||
        dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_UINT32) {
        return std::nullopt;
    }
    std::uint32_t pid = 0;
    dbus_message_iter_get_basic(&it, &pid);
    return pid;
}

std::string property(DBusConnection* bus, const Reference& object, const char* name) {
    const Message reply = call(bus, object.first.c_str(), object.second.c_str(), "org.freedesktop.DBus.Properties",
                               "Get", {kAccessible, name});
    return stringOf(reply.get()).value_or("");
}

AccessibleWindow describe(DBusConnection* bus, const Reference& object) {
    AccessibleWindow window;
    const char* name = object.first.c_str();
    const char* path = object.second.c_str();
    window.role = stringOf(call(bus, name, path, kAccessible, "GetRoleName").get()).value_or("");
    window.showing = hasState(call(bus, name, path, kAccessible, "GetState").get(), ATSPI_STATE_SHOWING);
    window.name = property(bus, object, "Name");
    window.description = property(bus, object, "Description");
    return window;
}

}  // namespace

AccessibleWindows::AccessibleWindows(std::string sessionBus) : sessionBus_(std::move(sessionBus)) {
    dbus_threads_init_default();
}

AccessibleWindows::~AccessibleWindows() {
    if (bus_ == nullptr) return;
    dbus_connection_close(bus_);
    dbus_connection_unref(bus_);
}

DBusConnection* AccessibleWindows::bus() {
    if (bus_ != nullptr && dbus_connection_get_is_connected(bus_) != 0) return bus_;
    if (bus_ != nullptr) {
        dbus_connection_close(bus_);
        dbus_connection_unref(bus_);
        bus_ = nullptr;
    }
    // The session bus names the accessibility bus; only the latter is kept.
    DBusConnection* session = connect(sessionBus_);
    if (session == nullptr) return nullptr;
    const Message reply = call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
    const std::optional<std::string> address = stringOf(reply.get());
    dbus_connection_close(session);
    dbus_connection_unref(session);
    if (address && !address->empty()) bus_ = connect(*address);
    return bus_;
}

std::vector<AccessibleWindows::Reference> AccessibleWindows::windowsOf(pid_t pid) {
    DBusConnection* connection = bus();
    if (connection == nullptr) return {};
    // The application's place on the bus is kept: a recording asks many times a second.
    if (const auto known = applications_.find(pid); known != applications_.end()) {
        const Message children = call(connection, known->second.first.c_str(), known->second.second.c_str(),
                                      kAccessible, "GetChildren");
        if (children) return referencesOf(children.get());
        applications_.erase(known);
    }
    for (const Reference& application : referencesOf(call(connection, kRegistry, kRoot, kAccessible, "GetChildren").get())) {
        if (processOf(connection, application.first) != static_cast<std::uint32_t>(pid)) continue;
        const Message children =
            call(connection, application.first.c_str(), application.second.c_str(), kAccessible, "GetChildren");
        if (!children) continue;
        applications_[pid] = application;
        return referencesOf(children.get());
    }
    return {};
}

std::vector<AccessibleWindow> AccessibleWindows::of(pid_t pid) {
    std::vector<AccessibleWindow> out;
    for (const Reference& window : windowsOf(pid)) out.push_back(describe(bus_, window));
    return out;
}

AccessibleWindow AccessibleWindows::showing(pid_t pid, const std::string& role) {
    for (const Reference& window : windowsOf(pid)) {
        const char* name = window.first.c_str();
        const char* path = window.second.c_str();
        if (stringOf(call(bus_, name, path, kAccessible, "GetRoleName").get()) != role) continue;
        if (!hasState(call(bus_, name, path, kAccessible, "GetState").get(), ATSPI_STATE_SHOWING)) continue;
        return describe(bus_, window);
    }
    return {};
}

}  // namespace veska::testing
