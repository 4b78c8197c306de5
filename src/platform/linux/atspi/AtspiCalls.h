// Small owners for GLib objects and the mapping of AT-SPI failures onto the port's errors.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <atspi/atspi.h>

#include "ports/Accessibility.h"

namespace veska::platform::atspi_calls {

struct ObjectUnref {
    void operator()(void* object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
/// A reference this code owns on a GObject (an accessible, a text interface, a state set).
template <class T>
using Ref = std::unique_ptr<T, ObjectUnref>;

template <class T>
Ref<T> adopt(T* object) {
    return Ref<T>(object);
}

/// A GError to pass as `&error.slot`; freed when it goes out of scope.
struct Error {
    Error() = default;
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    ~Error() {
        if (slot != nullptr) g_error_free(slot);
    }
    [[nodiscard]] explicit operator bool() const { return slot != nullptr; }
    GError* slot = nullptr;
};

/// A string libatspi allocated.
struct OwnedString {
    explicit OwnedString(gchar* s) : text(s) {}
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    ~OwnedString() { g_free(text); }
    [[nodiscard]] std::string str() const { return text == nullptr ? std::string() : std::string(text); }
    gchar* text;
};

/// The port's error for a failed call: gone applications and objects are `invalidElement`,
/// unanswered calls `cannotComplete`, missing interfaces `attributeUnsupported`.
[[nodiscard]] ports::AXError errorOf(const GError* error);

/// Whether a text can travel over D-Bus: valid UTF-8 without NUL (libdbus aborts the process
/// on a malformed string).
[[nodiscard]] bool sendable(std::string_view text);

}  // namespace veska::platform::atspi_calls
