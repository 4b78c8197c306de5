// The ChatGPT session on the simulated cookie store and web service: which cookies count, the
// session exchange, clearing, and the timed refresh.
#include <gtest/gtest.h>

#include "core/web/ChatGPTSession.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {
namespace {

constexpr char kOrigin[] = "https://chatgpt.test";

struct SessionRig {
    SessionRig() {
        http.attach(server);
        server.reply(ports::HttpMethod::get, "/api/auth/session", 200, R"({"accessToken":"tok-1","user":{"id":"u"}})");
    }
    void cookie(std::string name, std::string value, std::string domain) {
        ports::WebCookie cookie;
        cookie.name = std::move(name);
        cookie.value = std::move(value);
        cookie.domain = std::move(domain);
        ASSERT_TRUE(store.setFromPage(std::move(cookie)));
    }
    std::optional<ChatGPTToken> fetch() { return loop.run(session.fetchAccessToken()); }

    rt::VirtualLoop loop;
    sim::SimCookieStore store{loop.lane("web")};
    sim::SimHttpServer server{kOrigin};
    sim::SimHttpClient http{loop.lane("network")};
    WebCookieJar jar{store};
    ChatGPTSession session{loop.main(), jar, http, ChatGPTSessionConfig{kOrigin}};
};

TEST(ChatGPTSession, TokenComesFromTheFirstNonEmptyOfThreeMembers) {
    struct Row {
        const char* answer;
        std::optional<std::string> token;
    };
    const Row rows[] = {
        {R"({"accessToken":"a","access_token":"b"})", "a"},
        {R"({"access_token":"b"})", "b"},
        {R"({"accessToken":"","access_token":"b"})", "b"},
        {R"({"token":{"accessToken":"n"}})", "n"},
        {R"({"accessToken":"","access_token":"","token":{"accessToken":""}})", std::nullopt},
        {R"({"token":"flat"})", std::nullopt},
        {R"({"accessToken":42,"access_token":null})", std::nullopt},
        {R"({})", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChatGPTSession::tokenFrom(nlohmann::json::parse(row.answer)), row.token) << row.answer;
    }
}

TEST(ChatGPTSession, ExchangeSendsTheCookiesAndBrowserHeaders) {
    SessionRig rig;
    rig.cookie("__Secure-next-auth.session-token.0", "part0", ".chatgpt.com");
    rig.cookie("other", "x", "example.com");
    rig.cookie("__cf_bm", "cf", "auth.OpenAI.com");
    const std::optional<ChatGPTToken> token = rig.fetch();
    ASSERT_TRUE(token);
    EXPECT_EQ(token->token, "tok-1");
    ASSERT_TRUE(token->session);
    EXPECT_EQ((*token->session)["user"]["id"], "u");

    const auto requests = rig.server.requestsTo("/api/auth/session");
    ASSERT_EQ(requests.size(), 1U);
    const ports::HttpHeaders& headers = requests[0].headers;
    EXPECT_EQ(headers.value("Cookie"), "__Secure-next-auth.session-token.0=part0; __cf_bm=cf");
    EXPECT_EQ(headers.value("Referer"), "https://chatgpt.test/");
    EXPECT_EQ(headers.value("User-Agent"), std::string(ChatGPTSession::kUserAgent));
}

TEST(ChatGPTSession, FailedExchangesGiveNoToken) {
    struct Row {
        const char* name;
        sim::HttpBehaviour behaviour;
    };
    const Row rows[] = {
        {"401", sim::HttpBehaviour::reply(401, R"({"accessToken":"t"})")},
        {"not JSON", sim::HttpBehaviour::reply(200, "<html>login</html>")},
        {"JSON array", sim::HttpBehaviour::reply(200, R"(["accessToken"])")},
        {"no token", sim::HttpBehaviour::reply(200, R"({"user":{}})")},
        {"refused", sim::HttpBehaviour::failing(sim::HttpOpening::refuse)},
        {"silent server", sim::HttpBehaviour::failing(sim::HttpOpening::silence)},
    };
    for (const Row& row : rows) {
        SessionRig rig;
        rig.cookie("__Secure-next-auth.session-token", "s", "chatgpt.com");
        rig.server.route({ports::HttpMethod::get, "/api/auth/session", std::nullopt, {row.behaviour}});
        EXPECT_FALSE(rig.fetch()) << row.name;
    }
}

TEST(ChatGPTSession, WithoutChatGPTCookiesNothingIsAsked) {
    SessionRig rig;
    rig.cookie("sso", "x", ".x.ai");
    EXPECT_FALSE(rig.fetch());
    EXPECT_TRUE(rig.server.requests().empty());
    EXPECT_FALSE(rig.loop.run(rig.session.hasSessionCookie()));
}

TEST(ChatGPTSession, SessionCookieCountsByItsPrefixEvenInChunks) {
    struct Row {
        const char* name;
        const char* domain;
        bool signedIn;
    };
    const Row rows[] = {
        {"__Secure-next-auth.session-token", ".chatgpt.com", true},
        {"__Secure-next-auth.session-token.1", "chatgpt.com", true},
        {"__Secure-next-auth.session-token", "openai.com", true},
        {"__Secure-next-auth.callback-url", "chatgpt.com", false},
        {"__Secure-next-auth.session-token", "example.com", false},
    };
    for (const Row& row : rows) {
        SessionRig rig;
        rig.cookie(row.name, "v", row.domain);
        EXPECT_EQ(rig.loop.run(rig.session.hasSessionCookie()), row.signedIn) << row.name << " @ " << row.domain;
    }
}

TEST(ChatGPTSession, ClearingRemovesOnlyChatGPTCookies) {
    SessionRig rig;
    rig.cookie("__Secure-next-auth.session-token.0", "a", ".chatgpt.com");
    rig.cookie("__Secure-next-auth.session-token.1", "b", ".chatgpt.com");
    rig.cookie("oai-did", "c", "openai.com");
    rig.cookie("sso", "keep", ".x.ai");
    rig.loop.run(rig.session.clearChatGPTCookies());
    const std::vector<ports::WebCookie> left = rig.loop.run(rig.jar.all());
    ASSERT_EQ(left.size(), 1U);
    EXPECT_EQ(left[0].name, "sso");
    EXPECT_TRUE(rig.loop.run(rig.session.allChatGPTCookies()).empty());
}

TEST(ChatGPTSession, AutoRefreshFetchesAtOnceThenEveryPeriodUntilStopped) {
    SessionRig rig;
    rig.cookie("__Secure-next-auth.session-token", "s", "chatgpt.com");
    std::vector<std::string> tokens;
    rig.session.startAutoRefresh(720, [&](const std::string& token, const std::optional<nlohmann::json>& session) {
        tokens.push_back(token);
        EXPECT_TRUE(session && session->is_object());
    });
    rig.loop.runFor(1);
    EXPECT_EQ(tokens.size(), 1U);
    rig.loop.runFor(718);
    EXPECT_EQ(tokens.size(), 1U);
    rig.loop.runFor(2);
    EXPECT_EQ(tokens.size(), 2U);
    // A failed firing is silent and the next one tries again.
    rig.server.route({ports::HttpMethod::get, "/api/auth/session", std::nullopt,
                      {sim::HttpBehaviour::reply(500, ""), sim::HttpBehaviour::reply(200, R"({"accessToken":"t2"})")}});
    rig.loop.runFor(720);
    EXPECT_EQ(tokens.size(), 2U);
    rig.loop.runFor(720);
    ASSERT_EQ(tokens.size(), 3U);
    EXPECT_EQ(tokens.back(), "t2");
    rig.session.stopAutoRefresh();
    EXPECT_FALSE(rig.session.autoRefreshRunning());
    const std::size_t asked = rig.server.requests().size();
    rig.loop.runFor(3 * 720);
    EXPECT_EQ(rig.server.requests().size(), asked);
    EXPECT_EQ(tokens.size(), 3U);
}

TEST(ChatGPTSession, RestartingTheRefreshReplacesTheTimer) {
    SessionRig rig;
    rig.cookie("__Secure-next-auth.session-token", "s", "chatgpt.com");
    int first = 0;
    int second = 0;
    rig.session.startAutoRefresh(100, [&](const std::string&, const std::optional<nlohmann::json>&) { ++first; });
    rig.loop.runFor(1);
    rig.session.startAutoRefresh(100, [&](const std::string&, const std::optional<nlohmann::json>&) { ++second; });
    rig.loop.runFor(250);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 3);
    EXPECT_EQ(rig.server.requests().size(), 4U);
}

}  // namespace
}  // namespace veska::testing
