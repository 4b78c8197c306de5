// The profile's Cookies database, read-only, with SQLite.
#include "platform/linux/webcookies/CookieDatabase.h"

#include <sqlite3.h>

#include <memory>

namespace veska::platform {

namespace {

/// Microseconds between 1601-01-01 (the database's epoch) and 1970-01-01.
constexpr double kEpochOffsetSeconds = 11644473600.0;

std::string column(sqlite3_stmt* statement, int index) {
    const unsigned char* text = sqlite3_column_text(statement, index);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

}  // namespace

std::vector<ports::WebCookie> readSavedCookies(const std::string& path, double now) {
    std::vector<ports::WebCookie> cookies;
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(raw);
        return cookies;
    }
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    sqlite3_busy_timeout(db.get(), 2000);
    sqlite3_stmt* rawStatement = nullptr;
    const char* query =
        "SELECT host_key, name, value, path, expires_utc, has_expires, is_secure, is_httponly FROM cookies "
        "WHERE is_persistent = 1 ORDER BY creation_utc";
    if (sqlite3_prepare_v2(db.get(), query, -1, &rawStatement, nullptr) != SQLITE_OK) return cookies;
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(rawStatement, &sqlite3_finalize);
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        ports::WebCookie cookie;
        cookie.domain = column(statement.get(), 0);
        cookie.name = column(statement.get(), 1);
        cookie.value = column(statement.get(), 2);
        cookie.path = column(statement.get(), 3);
        if (sqlite3_column_int(statement.get(), 5) != 0) {
            const auto micros = static_cast<double>(sqlite3_column_int64(statement.get(), 4));
            cookie.expires = micros / 1e6 - kEpochOffsetSeconds;
            if (*cookie.expires <= now) continue;
        }
        cookie.secure = sqlite3_column_int(statement.get(), 6) != 0;
        cookie.httpOnly = sqlite3_column_int(statement.get(), 7) != 0;
        if (!ports::isStorableCookie(cookie)) continue;
        cookies.push_back(std::move(cookie));
    }
    return cookies;
}

}  // namespace veska::platform
