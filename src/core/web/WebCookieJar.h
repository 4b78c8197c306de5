// The one cookie store every web view shares, as the rest of the product reads it.
#pragma once

#include <vector>

#include "ports/WebCookieStore.h"
#include "runtime/Task.h"

namespace veska {

/// The sign-in cookies of the persistent web profile: the only way the product reads or
/// removes them. The store it wraps is loaded by its adapter before the first read (the
/// profile's cookies are on hand from start-up), so `all` never sees a half-loaded store.
/// Lives on the main executor; the store outlives it.
class WebCookieJar {
public:
    explicit WebCookieJar(ports::WebCookieStore& store) : store_(store) {}

    /// Every cookie of the shared store, in the store's order.
    rt::Task<std::vector<ports::WebCookie>> all();
    /// Removes one cookie (same name, domain and path).
    rt::Task<void> remove(ports::WebCookie cookie);

private:
    ports::WebCookieStore& store_;
};

}  // namespace veska
