// The Grok account and text session over real sockets, against the fake xAI console and API.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "core/ai/GrokTextSession.h"
#include "core/ai/TranslateError.h"
#include "core/voice/GrokSpeaker.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "platform/linux/websocket/BeastWebSocketClient.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimPreferences.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"
#include "support/FakeService.h"

namespace veska::testing {
namespace {

using nlohmann::json;

class GrokFake : public ::testing::Test {
protected:
    GrokFake() {
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        ServiceConfig config = ServiceConfig::defaults();
        config.urls[static_cast<std::size_t>(Service::xaiConsole)] = fake.baseUrl();
        config.urls[static_cast<std::size_t>(Service::xaiAPI)] = fake.baseUrl();
        ports::WebCookie sso;
        sso.name = "sso";
        sso.value = "fake-session";
        sso.domain = ".x.ai";
        cookies.setFromPage(sso);
        speaker = std::make_unique<GrokSpeaker>(GrokSpeaker::Services{loop, http, cookies, prefs, config});
    }

    template <class T>
    rt::ValueOf<T> run(rt::Task<T> task) {
        auto handle = rt::spawn(loop, std::move(task));
        if (!loop.runUntil([&] { return handle.done(); }, 20)) throw std::runtime_error("timed out");
        return handle.take();
    }

    std::unique_ptr<GrokTextSession> textSession() {
        GrokRealtimeLink link{&sockets, fake.baseUrl(), speaker->consoleOrigin(),
                              [this](std::string model) { return speaker->textSessionSecret(std::move(model)); }};
        return std::make_unique<GrokTextSession>(std::move(link), loop);
    }

    json requests() { return json::parse(fake.get("/__fake/requests").body); }

    FakeService fake{"xai"};
    rt::RunLoop loop;
    platform::CurlHttpClient http;
    platform::BeastWebSocketClient sockets;
    sim::SimCookieStore cookies{loop};
    sim::SimPreferences prefs;
    std::unique_ptr<GrokSpeaker> speaker;
};

rt::Task<std::string> openAndSend(GrokTextSession* session, std::string text) {
    co_await session->open("Answer.");
    std::string answer = co_await session->send(std::move(text), {});
    co_return answer;
}

TEST_F(GrokFake, TheConsoleAcceptsTheTokenAndProofsOfTheAccount) {
    auto voices = run(speaker->voices());
    EXPECT_EQ(voices, (std::vector<GrokSession::Voice>{{"eve", "Eve"}, {"sal", "Sal"}}));
    auto secret = run(speaker->realtimeSecret(GrokTextSession::kModel));
    ASSERT_TRUE(secret.has_value());
    EXPECT_TRUE(secret->starts_with("sec-"));
    const json seen = requests();
    ASSERT_GE(seen["requests"].size(), 3u);
    for (const json& request : seen["requests"]) {
        EXPECT_TRUE(request["problems"].empty()) << request["path"] << " " << request["problems"].dump();
    }
}

TEST_F(GrokFake, SecretRefusalsAreRetriedOnceOrReported) {
    fake.post("/__fake/config", R"({"secretAnswers": [{"status": 401}]})");
    EXPECT_TRUE(run(speaker->realtimeSecret(GrokTextSession::kModel)).has_value()) << "a new token after one 401";
    fake.post("/__fake/config", R"({"secretAnswers": [{"status": 401}, {"status": 401}]})");
    EXPECT_EQ(run(speaker->realtimeSecret(GrokTextSession::kModel)), tl::unexpected(GrokSpeakError::signedOut()));
    fake.post("/__fake/config", R"({"secretAnswers": [{"status": 429}]})");
    EXPECT_EQ(run(speaker->realtimeSecret(GrokTextSession::kModel)).error().kind(), GrokSpeakError::Kind::failed);
    fake.post("/__fake/config",
              R"({"tokenAnswers": [{"status": 403, "body": "{}", "headers": {"cf-mitigated": "challenge"}}]})");
    EXPECT_EQ(run(speaker->accessToken(true)), tl::unexpected(GrokSpeakError::unreachable()));
    fake.post("/__fake/config", R"({"tokenAnswers": [{"status": 403, "body": "{}"}]})");
    EXPECT_EQ(run(speaker->accessToken(true)), tl::unexpected(GrokSpeakError::signedOut()));
}

TEST_F(GrokFake, TheTextSessionAnswersThroughTheToolOverTheRealtimeSocket) {
    GrokTextSession::textOnly = true;
    GrokTextSession::useTool = true;
    auto session = textSession();
    EXPECT_EQ(run(openAndSend(session.get(), "xin chào")), "Echo: xin chào");
    session->close();
    loop.runFor(0.3);
    const json sockets = requests()["sockets"];
    ASSERT_EQ(sockets.size(), 1u);
    EXPECT_TRUE(sockets[0]["protocol"].get<std::string>().starts_with("xai-client-secret.sec-"));
    EXPECT_EQ(sockets[0]["closeCode"], 1000);
    EXPECT_EQ(sockets[0]["events"].back()["item"]["type"], "function_call_output");
}

TEST_F(GrokFake, TheFallbacksLetAServiceWithoutTextOnlyOrToolsAnswer) {
    fake.post("/__fake/config", R"({"refuseTextOnly": true, "refuseTools": true})");
    GrokTextSession::textOnly = true;
    GrokTextSession::useTool = true;
    auto session = textSession();
    EXPECT_EQ(run(openAndSend(session.get(), "one")), "Echo: one");
    EXPECT_FALSE(GrokTextSession::textOnly);
    EXPECT_FALSE(GrokTextSession::useTool);
    GrokTextSession::textOnly = true;
    GrokTextSession::useTool = true;
}

TEST_F(GrokFake, ARefusedSecretOrSocketIsTheSessionsError) {
    fake.post("/__fake/config", R"({"secretAnswers": [{"status": 401}, {"status": 401}]})");
    auto session = textSession();
    std::optional<TranslateError> error;
    try {
        run(openAndSend(session.get(), "x"));
    } catch (const TranslateError& e) {
        error = e;
    }
    EXPECT_EQ(error, TranslateError::signedOut());
}

}  // namespace
}  // namespace veska::testing
