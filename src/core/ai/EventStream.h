// Reading one line of a server-sent event stream as the HTTP engines do: only "data:" lines
// count, "[DONE]" ends the stream, a payload that is not a JSON object is skipped.
#pragma once

#include <optional>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

namespace veska::EventStream {

/// A line that carries nothing for the engines: not a "data:" line, or a payload that is not
/// valid JSON or not a JSON object.
struct Skip {
    bool operator==(const Skip&) const = default;
};
/// The payload "[DONE]": the stream is over, whatever follows.
struct Done {
    bool operator==(const Done&) const = default;
};

using Line = std::variant<Skip, Done, nlohmann::json>;

/// The payload of a "data:" line: the rest of the line trimmed of spaces and tabs; nothing for
/// any other line.
[[nodiscard]] std::optional<std::string_view> payload(std::string_view line);

/// What one line (without its line end) says. Never throws, whatever the bytes.
[[nodiscard]] Line parseLine(std::string_view line);

}  // namespace veska::EventStream
