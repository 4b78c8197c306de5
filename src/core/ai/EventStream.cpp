// The event-stream line reader of the HTTP engines.
#include "core/ai/EventStream.h"

namespace veska::EventStream {

namespace {

constexpr std::string_view kDataPrefix = "data:";
constexpr std::string_view kDoneMark = "[DONE]";

std::string_view trimBlank(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::string_view> payload(std::string_view line) {
    if (!line.starts_with(kDataPrefix)) return std::nullopt;
    return trimBlank(line.substr(kDataPrefix.size()));
}

Line parseLine(std::string_view line) {
    std::optional<std::string_view> data = payload(line);
    if (!data) return Skip{};
    if (*data == kDoneMark) return Done{};
    // No valid JSON text holds a NUL byte; the JSON reader would take one for the end.
    if (data->find('\0') != std::string_view::npos) return Skip{};
    nlohmann::json object = nlohmann::json::parse(*data, nullptr, /*allow_exceptions=*/false);
    if (!object.is_object()) return Skip{};
    return object;
}

}  // namespace veska::EventStream
