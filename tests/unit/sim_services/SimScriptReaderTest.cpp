// Scripts of the simulated services read from JSON: what they mean, and bad ones refused.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/sim/SimBase64.h"
#include "platform/sim/SimScriptReader.h"

namespace veska::sim {
namespace {

using nlohmann::json;

TEST(SimScriptReader, AnHttpRouteWithEveryKindOfBehaviour) {
    const HttpRoute route = SimScriptReader::httpRoute(json::parse(R"({
        "method": "POST", "path": "/v1/tts", "query": "x=1",
        "behaviours": [
            {"status": 401, "body": "no", "headers": [["Set-Cookie", "a=1"], ["set-cookie", "b=2"]]},
            {"headDelay": 0.2, "headers": {"Content-Type": "audio/pcm"},
             "pieces": [{"after": 0.1, "text": "ab"}, {"after": 0.5, "base64": "AAEC/w=="}],
             "ending": "drop", "endDelay": 1.5},
            {"opening": "silence"}
        ]})"));
    EXPECT_EQ(route.method, ports::HttpMethod::post);
    EXPECT_EQ(route.path, "/v1/tts");
    EXPECT_EQ(route.query, "x=1");
    ASSERT_EQ(route.behaviours.size(), 3u);
    EXPECT_EQ(route.behaviours[0].status, 401);
    EXPECT_EQ(route.behaviours[0].body(), "no");
    EXPECT_EQ(route.behaviours[0].headers.values("set-cookie"), (std::vector<std::string>{"a=1", "b=2"}));
    const auto& streamed = route.behaviours[1];
    EXPECT_EQ(streamed.status, 200);
    EXPECT_DOUBLE_EQ(streamed.headDelaySeconds, 0.2);
    ASSERT_EQ(streamed.pieces.size(), 2u);
    EXPECT_DOUBLE_EQ(streamed.pieces[1].delaySeconds, 0.5);
    EXPECT_EQ(streamed.pieces[1].bytes, std::string("\x00\x01\x02\xff", 4));
    EXPECT_EQ(streamed.ending, HttpEnding::drop);
    EXPECT_EQ(route.behaviours[2].opening, HttpOpening::silence);
}

TEST(SimScriptReader, AWebSocketEndpointWithStepsAndReactions) {
    const WsEndpoint endpoint = SimScriptReader::wsEndpoint(json::parse(R"({
        "path": "/api/ws/speech_to_text/voice_stream",
        "behaviours": [
            {"handshake": "refuse", "status": 401, "body": "{}", "headers": {"Content-Type": "application/json"}},
            {"protocol": "p1",
             "steps": [{"after": 0.1, "text": "{\"type\":\"TranscriptInterim\"}"}, {"ping": "x"}, {"close": 0}],
             "reactions": [{"when": "CloseStream", "once": true, "steps": [{"after": 0.2, "drop": true}]},
                           {"onBinary": true, "steps": [{"binary": "AQI="}]}]}
        ]})"));
    ASSERT_EQ(endpoint.behaviours.size(), 2u);
    EXPECT_EQ(endpoint.behaviours[0].handshake, WsHandshake::refuse);
    EXPECT_EQ(endpoint.behaviours[0].refuseStatus, 401);
    const auto& open = endpoint.behaviours[1];
    EXPECT_EQ(open.protocol, "p1");
    ASSERT_EQ(open.steps.size(), 3u);
    EXPECT_EQ(open.steps[0].kind, WsStepKind::text);
    EXPECT_EQ(open.steps[1].kind, WsStepKind::ping);
    EXPECT_EQ(open.steps[2].kind, WsStepKind::close);
    EXPECT_EQ(open.steps[2].closeCode, 0);
    ASSERT_EQ(open.reactions.size(), 2u);
    EXPECT_TRUE(open.reactions[0].once);
    EXPECT_EQ(open.reactions[0].steps[0].kind, WsStepKind::drop);
    EXPECT_TRUE(open.reactions[1].onBinary);
    EXPECT_EQ(open.reactions[1].steps[0].data, "\x01\x02");
}

TEST(SimScriptReader, ProgramsLevelsFormatsAndCookies) {
    const SimProgram program = SimScriptReader::program(json::parse(R"({
        "exitCode": 3, "lifetime": -1, "ignoresTerminate": true, "echoVariables": ["PORT"],
        "output": [{"text": "a"}, {"after": 1, "stream": "err", "text": "b"}], "launchError": "notExecutable"})"));
    EXPECT_EQ(program.exitCode, 3);
    EXPECT_LT(program.lifetimeSeconds, 0);
    EXPECT_TRUE(program.ignoresTerminate);
    EXPECT_EQ(program.echoVariables, (std::vector<std::string>{"PORT"}));
    ASSERT_EQ(program.output.size(), 2u);
    EXPECT_EQ(program.output[1].stream, SimStream::err);
    EXPECT_EQ(program.launchError, ports::ProcessErrorKind::notExecutable);

    const auto levels = SimScriptReader::levels(json::parse(R"([{"at": 0, "db": -45.5}, {"at": 0.3, "db": 0}])"));
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_DOUBLE_EQ(levels[0].db, -45.5);

    const auto format = SimScriptReader::audioFormat(json::parse(R"({"sampleRate": 16000, "channels": 1, "sampleType": "int16"})"));
    EXPECT_EQ(format, (ports::AudioFormat{16000, 1, ports::SampleType::int16}));

    const auto cookie = SimScriptReader::cookie(json::parse(
        R"({"name": "sessionKey", "value": "sk-1", "domain": ".claude.example", "expires": 1900000000, "secure": true})"));
    EXPECT_EQ(cookie.name, "sessionKey");
    EXPECT_EQ(cookie.path, "/");
    EXPECT_EQ(cookie.expires, 1900000000.0);
    EXPECT_TRUE(cookie.secure);
    EXPECT_FALSE(cookie.httpOnly);
}

TEST(SimScriptReader, BadScriptsAreRefusedWithTheirPlace) {
    struct Row {
        const char* kind;
        const char* text;
        const char* where;
    };
    const std::vector<Row> rows = {
        {"route", R"({"path": "/a", "behaviour": {"status": 700}})", "route.behaviour.status"},
        {"route", R"({"path": "/a", "behaviour": {"stauts": 200}})", "route.behaviour.stauts"},
        {"route", R"({"path": "/a", "behaviours": [{}, {"pieces": [{"after": -1}]}]})", "route.behaviours[1].pieces[0].after"},
        {"route", R"({"path": "/a", "behaviour": {"pieces": [{"base64": "!!"}]}})", "route.behaviour.pieces[0].base64"},
        {"route", R"({"path": "/a", "behaviour": {"body": "x", "pieces": []}})", "route.behaviour"},
        {"route", R"({"path": "/a", "behaviour": {"opening": "explode"}})", "route.behaviour.opening"},
        {"route", R"({"path": "/a", "behaviour": {"headers": {"X": 1}}})", "route.behaviour.headers.X"},
        {"route", R"({"path": "a", "behaviour": {}})", "route.path"},
        {"route", R"({"path": "/a", "method": "FETCH", "behaviour": {}})", "route.method"},
        {"route", R"({"path": "/a"})", "route"},
        {"route", R"({"path": "/a", "behaviour": {}, "behaviours": [{}]})", "route"},
        {"route", R"([1, 2])", "route"},
        {"endpoint", R"({"path": "/w", "behaviour": {"steps": [{"text": "a", "drop": true}]}})", "endpoint.behaviour.steps[0]"},
        {"endpoint", R"({"path": "/w", "behaviour": {"steps": [{"close": 1006}]}})", "endpoint.behaviour.steps[0].close"},
        {"endpoint", R"({"path": "/w", "behaviour": {"steps": [{}]}})", "endpoint.behaviour.steps[0]"},
        {"endpoint", R"({"path": "/w", "behaviour": {"reactions": [{"when": 3}]}})", "endpoint.behaviour.reactions[0].when"},
        {"program", R"({"exitCode": 256})", "program.exitCode"},
        {"program", R"({"output": [{"stream": "log"}]})", "program.output[0].stream"},
        {"levels", R"([{"at": 0, "db": 3}])", "levels[0].db"},
        {"format", R"({"sampleRate": 0, "channels": 1})", "format"},
        {"cookie", R"({"name": "a b", "domain": "x"})", "cookie"},
    };
    for (const auto& row : rows) {
        const json value = json::parse(row.text);
        const std::string kind = row.kind;
        try {
            if (kind == "route") SimScriptReader::httpRoute(value);
            if (kind == "endpoint") SimScriptReader::wsEndpoint(value);
            if (kind == "program") SimScriptReader::program(value);
            if (kind == "levels") SimScriptReader::levels(value);
            if (kind == "format") SimScriptReader::audioFormat(value);
            if (kind == "cookie") SimScriptReader::cookie(value);
            ADD_FAILURE() << row.text << " was accepted";
        } catch (const SimScriptError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(std::string(row.where) + ":"), std::string::npos) << row.text << " → " << message;
        }
    }
}

TEST(SimBase64, DecodesStandardBase64AndRefusesTheRest) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        {"", ""}, {"YQ==", "a"}, {"YQ", "a"}, {"YWI=", "ab"}, {"YWJj", "abc"}, {"AAEC/w==", std::string("\0\1\2\xff", 4)},
        {"+/+/", std::string("\xfb\xff\xbf", 3)}, {"Y", std::nullopt}, {"YQ===", std::nullopt}, {"Y=Q=", std::nullopt},
        {"YQ-_", std::nullopt}, {"YW I=", std::nullopt}, {"YQ=", std::nullopt},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(base64Decode(text), expected) << "\"" << text << "\"";
}

}  // namespace
}  // namespace veska::sim
