// Reading the persistent cookies a web profile saved in its Cookies SQLite database.
#pragma once

#include <string>
#include <vector>

#include "ports/WebCookieStore.h"

namespace veska::platform {

/// The cookies the web engine will restore from `path` (a Chromium "Cookies" database), in the
/// order they were created: persistent cookies that have not expired by `now` (calendar
/// seconds). Session cookies are not restored by the engine and are left out. A missing or
/// unreadable database gives none.
[[nodiscard]] std::vector<ports::WebCookie> readSavedCookies(const std::string& path, double now);

}  // namespace veska::platform
