// Reading one line of a server-sent event stream as the HTTP engines do: only "data:" lines
// count, "[DONE]" ends the stream, a payload that is not a JSON object is skipped.
#pragma once

#include <optional>
#include <string>
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

/// The services whose events carry text, and where: Gemini's in the "text" of every part of
/// the first candidate that is not a thought, DeepSeek's in "choices"[0]."delta"."content".
enum class Format { gemini, deepseek };

/// A line down to the text its event adds (possibly none).
using Delta = std::variant<Skip, Done, std::string>;

/// Exactly what `parseLine` followed by `AIHTTP::geminiText` or `AIHTTP::deepseekText` says,
/// without building the object: the line is checked as strictly and only the text is kept.
[[nodiscard]] Delta parseDelta(std::string_view line, Format format);

}  // namespace veska::EventStream
