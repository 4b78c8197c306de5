// Trace lines: their shape, the time's format, masking of secrets, and failure-only output.
#include <gtest/gtest.h>

#include <sstream>

#include "main/scenario/TraceWriter.h"

namespace veska::scenario {
namespace {

using Fields = TraceWriter::Fields;

TEST(TraceWriter, TimeHasThreeDecimals) {
    const struct {
        double t;
        const char* text;
    } rows[] = {{0, "0.000"}, {0.5, "0.500"}, {1.0004, "1.000"}, {1.0006, "1.001"}, {0.1 + 0.2, "0.300"}, {86400, "86400.000"}};
    for (const auto& row : rows) EXPECT_EQ(TraceWriter::timeText(row.t), row.text) << row.t;
}

TEST(TraceWriter, LinesStartWithTimeAndEventThenKeepFieldOrder) {
    std::ostringstream out;
    TraceWriter writer(out, TraceWriter::Mode::full);
    writer.emit(1.25, "field", Fields{{"z", 1}, {"a", "é"}, {"m", nullptr}});
    writer.emit(2, "end", Fields::object());
    EXPECT_EQ(out.str(), "{\"t\":1.250,\"event\":\"field\",\"z\":1,\"a\":\"é\",\"m\":null}\n"
                         "{\"t\":2.000,\"event\":\"end\"}\n");
    EXPECT_EQ(writer.linesWritten(), 2u);
}

TEST(TraceWriter, InvalidUtf8IsReplacedNotFatal) {
    std::ostringstream out;
    TraceWriter writer(out, TraceWriter::Mode::full);
    writer.emit(0, "field", Fields{{"text", std::string("a\xff\xfe" "b")}});
    EXPECT_EQ(out.str(), "{\"t\":0.000,\"event\":\"field\",\"text\":\"a\xEF\xBF\xBD\xEF\xBF\xBD" "b\"}\n");
}

TEST(TraceWriter, SecretsAreMaskedWhereverTheyAppear) {
    std::ostringstream out;
    TraceWriter writer(out, TraceWriter::Mode::full);
    writer.mask().addSecret("sk-123");
    writer.mask().addSensitiveHeader("X-Session");
    ports::HttpHeaders headers{{"Authorization", "Bearer abc"}, {"x-session", "s"}, {"Accept", "text/sk-123"}};
    writer.emit(0, "request",
                Fields{{"url", "https://a.test/?key=sk-123"},
                       {"headers", writer.headers(headers)},
                       {"nested", Fields{{"list", Fields::array({"sk-123sk-123", 5})}}}});
    const std::string line = out.str();
    EXPECT_EQ(line.find("sk-123"), std::string::npos) << line;
    EXPECT_EQ(line.find("abc"), std::string::npos) << line;
    EXPECT_NE(line.find("\"Authorization: [masked]\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"x-session: [masked]\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"Accept: text/[masked]\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"[masked][masked]\""), std::string::npos) << line;
    EXPECT_EQ(writer.headerValue("Sec-WebSocket-Protocol", "token.abc"), "[masked]") << "sub-protocols may carry tokens";
}

TEST(TraceWriter, FailuresOnlyModeWritesJustTheFailures) {
    std::ostringstream out;
    TraceWriter writer(out, TraceWriter::Mode::failuresOnly);
    writer.emit(0, "field", Fields{{"text", "a"}});
    writer.emit(1, "expect", Fields{{"ok", false}}, true);
    EXPECT_EQ(out.str(), "{\"t\":1.000,\"event\":\"expect\",\"ok\":false}\n");
}

}  // namespace
}  // namespace veska::scenario
