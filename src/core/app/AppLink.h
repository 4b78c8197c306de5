// The parts of the application's own links ("veska-voice-local://output?lang=en") and the
// percent-encoding of the dashboard's query.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veska {

/// A link split into the parts the application reads. Lenient: a part that is missing is
/// empty, and nothing in a link makes parsing fail.
struct AppLink {
    std::string scheme;  ///< lower-cased
    std::string host;    ///< lower-cased; empty when the link has no "//" authority
    std::string path;    ///< as written, "/" included
    /// The query's items in order, names and values percent-decoded ("+" stays "+").
    std::vector<std::pair<std::string, std::string>> query;

    [[nodiscard]] static AppLink parse(std::string_view url);

    /// The command a link names: its host, or its path without "/" when it has no host.
    [[nodiscard]] std::string command() const;
    /// The value of the first query item called `name`.
    [[nodiscard]] std::optional<std::string> item(std::string_view name) const;
};

/// `text` with every byte except the unreserved ones (letters, digits, "-", ".", "_", "~")
/// written as "%XX".
[[nodiscard]] std::string percentEncode(std::string_view text);
/// `text` with each well-formed "%XX" replaced by its byte; a stray "%" stays as it is.
[[nodiscard]] std::string percentDecode(std::string_view text);
/// "name=value" pairs, each part percent-encoded, joined by "&".
[[nodiscard]] std::string encodeQuery(const std::vector<std::pair<std::string, std::string>>& items);

}  // namespace veska
