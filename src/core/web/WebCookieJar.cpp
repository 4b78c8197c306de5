// The shared cookie store: reading every cookie, removing one.
#include "core/web/WebCookieJar.h"

namespace veska {

rt::Task<std::vector<ports::WebCookie>> WebCookieJar::all() {
    std::vector<ports::WebCookie> cookies = co_await store_.all();
    co_return cookies;
}

rt::Task<void> WebCookieJar::remove(ports::WebCookie cookie) {
    co_await store_.deleteCookie(std::move(cookie));
}

}  // namespace veska
