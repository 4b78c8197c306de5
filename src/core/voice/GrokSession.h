// The Grok console session: its cookies in the shared web store, and the static data of
// read-aloud (rates, default voices; the text splitter is in GrokSessionSplit.h).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/ServiceConfig.h"
#include "core/voice/GrokSessionSplit.h"
#include "ports/Preferences.h"
#include "ports/WebCookieStore.h"
#include "runtime/Task.h"

namespace veska::GrokSession {

/// A voice of the speech endpoint: `id` is sent to it, `name` is shown in menus.
struct Voice {
    std::string id;
    std::string name;
    friend bool operator==(const Voice&, const Voice&) = default;
};

/// The reading rates offered, in order.
inline constexpr std::array<double, 6> rates{0.5, 0.75, 1.0, 1.25, 1.5, 2.0};

/// The voices used when the console's list cannot be had.
[[nodiscard]] const std::vector<Voice>& defaultVoices();

/// The stored "v2.ttsRate" when it is one of `rates`, 1.0 otherwise.
[[nodiscard]] double rate(const ports::Preferences& prefs);

/// The xAI accounts sign-in page: "/sign-in" with a "redirect" query item naming the console.
[[nodiscard]] std::string loginURL(const ServiceConfig& config);

/// The "Cookie" header of the console session: every unexpired cookie of `store` whose domain
/// ends with `domain` (the xAI registrable domain), as "name=value" joined by "; " in store
/// order; nothing when none of them is a non-empty "sso". Runs on the calling executor.
rt::Task<std::optional<std::string>> cookieHeader(ports::WebCookieStore* store, std::string domain);

/// Deletes, one after another, every cookie of `store` whose domain ends with `domain`.
rt::Task<void> clearCookies(ports::WebCookieStore* store, std::string domain);

}  // namespace veska::GrokSession
