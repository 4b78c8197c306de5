// Writing trace lines.
#include "main/scenario/TraceWriter.h"

#include <cstdio>
#include <ostream>

namespace veska::scenario {

std::string TraceWriter::timeText(double t) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.3f", t);
    return buffer;
}

void TraceWriter::maskStrings(Fields& value) const {
    if (value.is_string()) {
        value = mask_.mask(value.get_ref<const std::string&>());
        return;
    }
    if (value.is_structured()) {
        for (auto& item : value) maskStrings(item);
    }
}

TraceWriter::Fields TraceWriter::headers(const ports::HttpHeaders& fields) const {
    Fields out = Fields::array();
    const ports::HttpHeaders masked = mask_.mask(fields);
    for (const auto& [name, value] : masked.fields()) {
        std::string field = name;
        field += ": ";
        field += value;
        out.push_back(std::move(field));
    }
    return out;
}

std::string TraceWriter::headerValue(std::string_view name, const std::string& value) const {
    return mask_.isSensitiveHeader(name) ? std::string(sim::SimSecretMask::kMasked) : mask_.mask(value);
}

void TraceWriter::emit(double t, std::string_view event, Fields fields, bool failure) {
    if (mode_ == Mode::failuresOnly && !failure) return;
    maskStrings(fields);
    constexpr auto kReplace = nlohmann::ordered_json::error_handler_t::replace;
    std::string line = "{\"t\":" + timeText(t) + ",\"event\":" + Fields(event).dump(-1, ' ', false, kReplace);
    if (fields.is_object()) {
        for (const auto& [key, value] : fields.items()) {
            line += "," + Fields(key).dump(-1, ' ', false, kReplace) + ":" + value.dump(-1, ' ', false, kReplace);
        }
    }
    line += "}\n";
    out_ << line;
    ++lines_;
}

}  // namespace veska::scenario
