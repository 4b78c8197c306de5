// Reading event-stream lines: data lines, the end mark, skipped lines; and its properties.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include "core/ai/EventStream.h"

namespace veska {
namespace {

using nlohmann::json;

struct LineRow {
    std::string line;
    EventStream::Line expected;
};

TEST(EventStream, LinesAsTheEnginesReadThem) {
    const std::vector<LineRow> rows = {
        {R"(data: {"a":1})", json{{"a", 1}}},
        {"data:{\"a\":1}", json{{"a", 1}}},
        {"data: \t {\"a\":[1,2]} \t", json{{"a", {1, 2}}}},
        {"data: [DONE]", EventStream::Done{}},
        {"data:[DONE]  ", EventStream::Done{}},
        {"data: [DONE] x", EventStream::Skip{}},
        {"data: [done]", EventStream::Skip{}},
        {"", EventStream::Skip{}},
        {": keep-alive", EventStream::Skip{}},
        {"event: message", EventStream::Skip{}},
        {"id: 4", EventStream::Skip{}},
        {" data: {\"a\":1}", EventStream::Skip{}},
        {"Data: {\"a\":1}", EventStream::Skip{}},
        {"{\"a\":1}", EventStream::Skip{}},
        {"data:", EventStream::Skip{}},
        {"data: [1,2]", EventStream::Skip{}},
        {"data: \"text\"", EventStream::Skip{}},
        {"data: 42", EventStream::Skip{}},
        {"data: null", EventStream::Skip{}},
        {"data: {\"a\":", EventStream::Skip{}},
        {"data: {\"a\":1} trailing", EventStream::Skip{}},
        {"data: {\"a\":\"\xFF\"}", EventStream::Skip{}},
        {std::string("data: {\"a\":1}\0", 14), EventStream::Skip{}},
        {"data: {}", json::object()},
    };
    for (const LineRow& row : rows) {
        EXPECT_EQ(EventStream::parseLine(row.line), row.expected) << row.line;
    }
}

TEST(EventStream, PayloadIsTheTrimmedRestOfADataLine) {
    EXPECT_EQ(EventStream::payload("data:  x y \t"), "x y");
    EXPECT_EQ(EventStream::payload("data:"), "");
    EXPECT_EQ(EventStream::payload("dat"), std::nullopt);
    EXPECT_EQ(EventStream::payload("event: data: x"), std::nullopt);
}

std::string blanks(const std::vector<bool>& tabs) {
    std::string out;
    for (bool tab : tabs) out += tab ? '\t' : ' ';
    return out;
}

RC_GTEST_PROP(EventStreamProperty, AnyObjectComesBackWhateverTheBlanksAroundIt,
              (const std::map<std::string, std::string>& strings, const std::map<std::string, int>& numbers,
               const std::vector<bool>& before, const std::vector<bool>& after)) {
    json object = json::object();
    for (const auto& [key, value] : strings) object["s" + key] = value;
    for (const auto& [key, value] : numbers) object["n" + key] = value;
    // rapidcheck strings are arbitrary bytes; JSON text is UTF-8, so bytes that are not are
    // replaced when written.
    std::string text = object.dump(-1, ' ', false, json::error_handler_t::replace);
    json expected = json::parse(text);
    std::string line = "data:" + blanks(before) + text + blanks(after);
    RC_ASSERT(EventStream::parseLine(line) == EventStream::Line(expected));
}

RC_GTEST_PROP(EventStreamProperty, OnlyDataLinesCarryAnything, (const std::string& line)) {
    EventStream::Line parsed = EventStream::parseLine(line);
    if (!line.starts_with("data:")) RC_ASSERT(std::holds_alternative<EventStream::Skip>(parsed));
    if (auto* object = std::get_if<json>(&parsed)) RC_ASSERT(object->is_object());
}

RC_GTEST_PROP(EventStreamProperty, ArbitraryPayloadsNeverThrow, (const std::string& payload)) {
    EventStream::Line parsed = EventStream::parseLine("data: " + payload);
    if (std::holds_alternative<EventStream::Done>(parsed))
        RC_ASSERT(payload.find("[DONE]") != std::string::npos);
}

}  // namespace
}  // namespace veska
