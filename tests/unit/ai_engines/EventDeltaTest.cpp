// Reading the text of event-stream lines without building objects: it must say exactly what
// the parsed object says, for well-formed events and for every way a line can be broken.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/ai/AIHTTP.h"
#include "core/ai/EventStream.h"

namespace veska {
namespace {

using nlohmann::json;
using EventStream::Format;

// The reading through a parsed object, which the fast reading must match.
EventStream::Delta throughObject(std::string_view line, Format format) {
    EventStream::Line parsed = EventStream::parseLine(line);
    if (std::holds_alternative<EventStream::Skip>(parsed)) return EventStream::Skip{};
    if (std::holds_alternative<EventStream::Done>(parsed)) return EventStream::Done{};
    const json& event = std::get<json>(parsed);
    return format == Format::gemini ? AIHTTP::geminiText(event) : AIHTTP::deepseekText(event);
}

std::string describe(const EventStream::Delta& delta) {
    if (std::holds_alternative<EventStream::Skip>(delta)) return "skip";
    if (std::holds_alternative<EventStream::Done>(delta)) return "done";
    return "text \"" + std::get<std::string>(delta) + "\"";
}

void expectSameReading(const std::string& line) {
    for (Format format : {Format::gemini, Format::deepseek}) {
        EXPECT_EQ(describe(EventStream::parseDelta(line, format)), describe(throughObject(line, format)))
            << (format == Format::gemini ? "gemini: " : "deepseek: ") << line;
    }
}

TEST(EventDelta, TextOfWellFormedEvents) {
    struct Row {
        std::string payload;
        std::string gemini;
        std::string deepseek;
    };
    const std::vector<Row> rows = {
        {R"({"candidates":[{"content":{"parts":[{"text":"Xin "},{"text":"chào"}]}}]})", "Xin chào", ""},
        {R"({"candidates":[{"content":{"parts":[{"text":"a","thought":true},{"text":"b"}]}}]})", "b", ""},
        {R"({"candidates":[{"content":{"parts":[{"text":"a"}]}},{"content":{"parts":[{"text":"z"}]}}]})", "a", ""},
        {R"({"candidates":[{"content":{"parts":[{"text":"a\n\"\u1ea1\ud83d\ude00"}]}}]})", "a\n\"ạ😀", ""},
        {R"({"choices":[{"delta":{"content":"Hi \u00e0"}}]})", "", "Hi à"},
        {R"({"choices":[{"delta":{"role":"assistant"}}],"usage":null})", "", ""},
        // A key met again replaces the earlier value.
        {R"({"candidates":[{"content":{"parts":[{"text":"a"}]}}],"candidates":[]})", "", ""},
        {R"({"candidates":5,"candidates":[{"content":{"parts":[{"text":"b","text":"c"}]}}]})", "c", ""},
        {R"({"candidates":[{"content":{"parts":[{"thought":true,"text":"t","thought":1}]}}]})", "t", ""},
        {R"({"choices":[{"delta":{"content":"x","content":7}}]})", "", ""},
    };
    for (const Row& row : rows) {
        const std::string line = "data: " + row.payload;
        EXPECT_EQ(describe(EventStream::parseDelta(line, Format::gemini)), describe(row.gemini)) << row.payload;
        EXPECT_EQ(describe(EventStream::parseDelta(line, Format::deepseek)), describe(row.deepseek)) << row.payload;
        expectSameReading(line);
    }
}

// Lines that are not valid JSON objects, or only just are.
TEST(EventDelta, BrokenAndBorderlinePayloadsReadAsTheParserReadsThem) {
    const std::string text = R"("text":)";
    const std::vector<std::string> payloads = {
        "", "{", "}", "[]", "{}", " { } ", "{}\r\n", "{} {}", "{},", "{\"a\"}", "{\"a\":}", "{\"a\":1,}", "[1,]",
        "{\"a\" 1}", "{'a':1}", "{a:1}", "{\"a\":tru}", "{\"a\":nul}", "{\"a\":falsey}", "{\"a\":True}",
        // numbers
        "{\"n\":01}", "{\"n\":-}", "{\"n\":1.}", "{\"n\":.5}", "{\"n\":1e}", "{\"n\":+1}", "{\"n\":-0}",
        "{\"n\":1E+2}", "{\"n\":1e308}", "{\"n\":1.7976931348623157e308}", "{\"n\":1.7976931348623159e308}",
        "{\"n\":1.8e308}", "{\"n\":-1e309}", "{\"n\":1e400}", "{\"n\":0e99999999999999999999}",
        "{\"n\":1e-400}", "{\"n\":0.000001e314}", "{\"n\":123456789012345678901234567890}",
        "{\"n\":" + std::string(309, '9') + "}", "{\"n\":" + std::string(308, '9') + "}",
        "{\"n\":-" + std::string(400, '1') + "}",
        // strings
        "{\"a\":\"\x01\"}", "{\"a\":\"\x7F\"}", "{\"a\":\"\\x\"}", "{\"a\":\"\\u12\"}", "{\"a\":\"\\u12G4\"}",
        "{\"a\":\"\\u0000\"}", "{\"a\":\"\\ud800\"}", "{\"a\":\"\\udc00\"}", "{\"a\":\"\\ud800\\u0041\"}",
        "{\"a\":\"\\ud800x\"}", "{\"a\":\"\\uD83D\\uDE00\"}", "{\"a\":\"tab\there\"}", "{\"a\":\"open}",
        // UTF-8: overlong, surrogates, past U+10FFFF, cut short, stray bytes
        "{\"a\":\"\xC0\x80\"}", "{\"a\":\"\xC1\xBF\"}", "{\"a\":\"\xE0\x80\x80\"}", "{\"a\":\"\xED\xA0\x80\"}",
        "{\"a\":\"\xF4\x90\x80\x80\"}", "{\"a\":\"\xF5\x80\x80\x80\"}", "{\"a\":\"\xE1\x80\"}", "{\"a\":\"\x80\"}",
        "{\"a\":\"\xEF\xBF\xBF\xF0\x9F\x98\x80\xC3\xA9\"}", "{\"a\":1}\xC3",
        // byte order mark
        "\xEF\xBB\xBF{}", "\xEF\xBB{}", " \xEF\xBB\xBF{}", "\xEF\xBB\xBF",
        // the path's keys holding the wrong kinds
        R"({"candidates":{"content":{"parts":[{"text":"a"}]}}})", R"({"candidates":[[{"content":{}}]]})",
        R"({"candidates":[{"content":[{"parts":[{"text":"a"}]}]}]})", R"({"candidates":[{"content":{"parts":{"text":"a"}}}]})",
        R"({"candidates":[{"content":{"parts":[["text","a"],{"text":["a"]},{"text":"b","thought":"yes"}]}}]})",
        R"({"x":{"candidates":[{"content":{"parts":[{"text":"nested"}]}}]}})",
        R"({"choices":[{"delta":{"content":{"text":"a"}}}]})", R"({"choices":[7,{"delta":{"content":"b"}}]})",
        R"({"choices":[{"delta":{"content":"a"},"delta":{}}]})", R"({"choices":[{"delta":{"content":"\u00"}}]})",
        R"({"candidates":[{"content":{"parts":[{"text":"a"}]}}]} trailing)",
        "{" + text + "\"a\"," + text + "\"b\"}",
        std::string(100'000, '[') + std::string(100'000, ']'),
        "{\"a\":" + std::string(50'000, '[') + std::string(50'000, ']') + "}",
    };
    for (const std::string& payload : payloads) expectSameReading("data: " + payload);
    for (const std::string line : {"data: [DONE]", "data:[DONE]\t", "event: x", ": comment", "data : {}", ""})
        expectSameReading(line);
}

// A random event shaped like the services' (their keys, any kinds of values) as JSON text.
json randomValue(std::mt19937& random, int depth) {
    static const std::vector<std::string> keys = {"candidates", "content", "parts", "text", "thought",
                                                  "choices",    "delta",   "x",     "role"};
    static const std::vector<std::string> strings = {"", "a", "Tiếng Việt", "e\u0301", "😀", "\"\\/\n\t", "\x7F"};
    const int kind = static_cast<int>(random() % (depth > 4 ? 5 : 7));
    switch (kind) {
        case 0: return nullptr;
        case 1: return random() % 2 == 0;
        case 2: return static_cast<int>(random() % 2000) - 1000;
        case 3: return static_cast<double>(random()) / 7.0;
        case 4: return strings[random() % strings.size()];
        case 5: {
            json array = json::array();
            for (std::uint32_t n = random() % 4; n > 0; --n) array.push_back(randomValue(random, depth + 1));
            return array;
        }
        default: {
            json object = json::object();
            for (std::uint32_t n = random() % 5; n > 0; --n)
                object[keys[random() % keys.size()]] = randomValue(random, depth + 1);
            return object;
        }
    }
}

// Random events, written compactly or spaced out, then possibly cut, repeated in part or bent.
RC_GTEST_PROP(EventDeltaProperty, ReadsAsTheParsedObjectDoes, (std::uint32_t seed)) {
    std::mt19937 random(seed);
    json event = randomValue(random, 0);
    if (random() % 4 != 0) {
        event = json::object();
        event["candidates"] = json::array({{{"content", {{"parts", randomValue(random, 2)}}}}});
        event["choices"] = json::array({{{"delta", randomValue(random, 2)}}});
    }
    std::string payload = random() % 2 == 0 ? event.dump() : event.dump(2);
    switch (random() % 6) {
        case 0: payload.resize(random() % (payload.size() + 1)); break;
        case 1: payload[random() % payload.size()] = static_cast<char>(random() % 256); break;
        case 2:
            if (payload.size() > 2 && payload.back() == '}') payload.insert(payload.size() - 1, "," + payload.substr(1, payload.size() - 2));
            break;
        default: break;
    }
    const std::string line = "data: " + payload;
    for (Format format : {Format::gemini, Format::deepseek})
        RC_ASSERT(describe(EventStream::parseDelta(line, format)) == describe(throughObject(line, format)));
}

}  // namespace
}  // namespace veska
