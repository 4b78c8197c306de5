// Failures of AT-SPI calls as the port's errors.
#include "platform/linux/atspi/AtspiCalls.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace veska::platform::atspi_calls {

namespace {

bool mentions(std::string_view haystack, std::string_view needle) {
    const auto it =
        std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return it != haystack.end();
}

// libatspi keeps only the text of D-Bus errors, so they are told apart by their wording.
constexpr std::array<std::string_view, 7> kGone{"no longer exists", "unknown object", "does not exist",
                                                "was not provided", "disconnected",   "connection is closed",
                                                "not connected"};
constexpr std::array<std::string_view, 4> kNoAnswer{"did not receive a reply", "timeout", "timed out",
                                                    "hung"};
constexpr std::array<std::string_view, 3> kUnsupported{"unknown method", "no such interface",
                                                       "unknown interface"};

}  // namespace

ports::AXError errorOf(const GError* error) {
    if (error == nullptr) return ports::AXError::failure;
    const std::string_view message = error->message == nullptr ? "" : error->message;
    auto any = [&](const auto& words) {
        return std::any_of(words.begin(), words.end(),
                           [&](std::string_view w) { return mentions(message, w); });
    };
    if (any(kGone)) return ports::AXError::invalidElement;
    if (any(kNoAnswer)) return ports::AXError::cannotComplete;
    if (any(kUnsupported)) return ports::AXError::attributeUnsupported;
    return ports::AXError::failure;
}

bool sendable(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != FALSE;
}

}  // namespace veska::platform::atspi_calls
