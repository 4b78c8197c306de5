// libFuzzer target: arbitrary bytes read as an event stream, line by line, as the HTTP engines
// read an answer; every object found goes through both engines' text extraction, and the
// reading without objects must say the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/ai/AIHTTP.h"
#include "core/ai/EventStream.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

using veska::EventStream::Delta;
using veska::EventStream::Format;

bool sameText(const Delta& delta, const std::string& text) {
    const auto* found = std::get_if<std::string>(&delta);
    return found != nullptr && *found == text;
}

// Lines end at "\n", "\r\n" or "\r", as the HTTP body reader cuts them.
void readLine(std::string_view line) {
    veska::EventStream::Line parsed = veska::EventStream::parseLine(line);
    const Delta gemini = veska::EventStream::parseDelta(line, Format::gemini);
    const Delta deepseek = veska::EventStream::parseDelta(line, Format::deepseek);
    if (std::holds_alternative<veska::EventStream::Done>(parsed)) {
        check(veska::EventStream::payload(line) == "[DONE]");
        check(std::holds_alternative<veska::EventStream::Done>(gemini));
        check(std::holds_alternative<veska::EventStream::Done>(deepseek));
        return;
    }
    if (const auto* event = std::get_if<nlohmann::json>(&parsed)) {
        check(line.starts_with("data:") && event->is_object());
        check(sameText(gemini, veska::AIHTTP::geminiText(*event)));
        check(sameText(deepseek, veska::AIHTTP::deepseekText(*event)));
        return;
    }
    check(std::holds_alternative<veska::EventStream::Skip>(gemini));
    check(std::holds_alternative<veska::EventStream::Skip>(deepseek));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)veska::AIHTTP::errorMessage(std::string(text));
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        readLine(text.substr(0, end));
        if (end == std::string_view::npos) break;
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        text.remove_prefix(next);
    }
    return 0;
}
