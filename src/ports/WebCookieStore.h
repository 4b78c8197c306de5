// The cookie store shared by every web view: list, set and delete cookies, hear of changes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ports/HttpHeaders.h"
#include "text/Ascii.h"
#include "ports/Subscription.h"
#include "runtime/Task.h"

namespace veska::ports {

/// A cookie. Name, domain and path identify it: setting a cookie with the same three
/// replaces the old one. A domain with a leading dot also matches its subdomains; without
/// it the cookie belongs to that host only.
struct WebCookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path = "/";
    /// Calendar seconds since 1970; none = a session cookie.
    std::optional<double> expires;
    bool secure = false;
    bool httpOnly = false;

    [[nodiscard]] bool sameCookie(const WebCookie& other) const {
        return name == other.name && path == other.path &&
               text::equalsIgnoringAsciiCase(domain, other.domain);
    }
    friend bool operator==(const WebCookie&, const WebCookie&) = default;
};

struct CookieChange {
    WebCookie cookie;
    /// True when the cookie went away (deleted, replaced by an expired one), false when it was
    /// added or replaced.
    bool removed = false;
};

/// The persistent store of the web profile. Operations resume on the calling task's
/// executor; change notices run on the executor of the task that subscribed, in the order
/// the changes happened, including changes made by web pages.
class WebCookieStore {
public:
    virtual ~WebCookieStore() = default;

    /// Every cookie, in the order they were first set.
    virtual rt::Task<std::vector<WebCookie>> all() = 0;
    /// Adds or replaces a cookie. A cookie whose expiry has passed deletes the stored one of
    /// the same identity instead. False (and nothing changed) for a cookie the store cannot
    /// hold: empty name or domain, or a name, value, domain or path with ";", control
    /// characters or (except the value) white space.
    virtual rt::Task<bool> set(WebCookie cookie) = 0;
    /// Deletes the cookie with the same name, domain and path; nothing when there is none.
    virtual rt::Task<void> deleteCookie(WebCookie cookie) = 0;
    /// Calls `onChange` for every later change until the subscription is dropped. Must be
    /// called from a task or callback running on an executor.
    virtual Subscription subscribe(std::function<void(const CookieChange&)> onChange) = 0;
};

/// True when the store can hold `cookie` (see `WebCookieStore::set`).
[[nodiscard]] inline bool isStorableCookie(const WebCookie& cookie) {
    const auto clean = [](const std::string& text, bool spaceAllowed) {
        for (char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7f || c == ';') return false;
            if (!spaceAllowed && c == ' ') return false;
        }
        return true;
    };
    if (cookie.name.empty() || cookie.domain.empty()) return false;
    if (cookie.name.find('=') != std::string::npos) return false;
    return clean(cookie.name, false) && clean(cookie.value, true) && clean(cookie.domain, false) &&
           clean(cookie.path, false);
}

}  // namespace veska::ports
