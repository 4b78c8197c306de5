// The Claude web session: credentials from the shared cookies, the account check, the
// dictation language and forgetting the sign-in.
#include <gtest/gtest.h>

#include "core/voice/ClaudeSession.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska {
namespace {

using Account = ClaudeSession::Account;
using ports::WebCookie;

WebCookie cookie(std::string name, std::string value, std::string domain, std::string path = "/") {
    WebCookie c;
    c.name = std::move(name);
    c.value = std::move(value);
    c.domain = std::move(domain);
    c.path = std::move(path);
    return c;
}

struct SessionRig {
    rt::VirtualLoop loop;
    sim::SimCookieStore store{loop.lane("web")};
    WebCookieJar jar{store};
    sim::SimHttpServer server{"https://claude.test"};
    sim::SimHttpClient http{loop.lane("network")};
    sim::SimSystemLanguages languages{{"vi-VN"}};
    ClaudeSession session{ClaudeSessionServices{loop.main(), jar, http, languages, "https://claude.test"}};

    SessionRig() { http.attach(server); }

    void signIn() {
        store.setFromPage(cookie("sessionKey", "sk-1", ".claude.test"));
        store.setFromPage(cookie("lastActiveOrg", "org-9", "claude.test"));
    }
    Account check() { return loop.run(session.checkAccount()); }
};

TEST(ClaudeSession, CredentialsTakeTheLiveCookiesOfTheServiceHostInStoreOrder) {
    SessionRig rig;
    auto soon = cookie("cf_clearance", "cf", "claude.test");
    soon.expires = rig.loop.main().wallNow() + 10;
    rig.store.setFromPage(soon);
    rig.store.setFromPage(cookie("anthropic-device-id", "dev", ".CLAUDE.test"));
    rig.store.setFromPage(cookie("sessionKey", "sk-1", ".claude.test"));
    rig.store.setFromPage(cookie("other", "x", "api.claude.test"));
    rig.store.setFromPage(cookie("sso", "y", ".x.test"));
    rig.store.setFromPage(cookie("lastActiveOrg", "org-9", "claude.test"));
    auto later = cookie("later", "z", "claude.test");
    later.expires = rig.loop.main().wallNow() + 3600;
    rig.store.setFromPage(later);
    rig.loop.runFor(20);  // cf_clearance has expired by now
    auto found = rig.loop.run(rig.session.credentials());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->cookieHeader, "anthropic-device-id=dev; sessionKey=sk-1; lastActiveOrg=org-9; later=z");
    EXPECT_EQ(found->organization, "org-9");
}

TEST(ClaudeSession, WithoutALiveSessionKeyThereAreNoCredentials) {
    struct Row {
        const char* name;
        std::vector<WebCookie> cookies;
    };
    const std::vector<Row> rows = {
        {"empty store", {}},
        {"empty session key", {cookie("sessionKey", "", ".claude.test")}},
        {"session key of another host", {cookie("sessionKey", "k", ".claude.other")}},
        {"session key of a subdomain", {cookie("sessionKey", "k", "www.claude.test")}},
        {"only the organization", {cookie("lastActiveOrg", "org", "claude.test")}},
    };
    for (const auto& row : rows) {
        SessionRig rig;
        for (const auto& c : row.cookies) rig.store.setFromPage(c);
        EXPECT_FALSE(rig.loop.run(rig.session.credentials())) << row.name;
    }
}

TEST(ClaudeSession, TheAccountAnswerDecidesSignedInSignedOutOrUnknown) {
    using sim::HttpBehaviour;
    const ports::HttpHeaders json{{"Content-Type", "application/json; charset=utf-8"}};
    const ports::HttpHeaders html{{"Content-Type", "text/html"}};
    struct Row {
        const char* name;
        HttpBehaviour answer;
        Account account;
    };
    const std::vector<Row> rows = {
        {"200 with email", HttpBehaviour::reply(200, R"({"email_address":"a@b.c","settings":{}})", json),
         Account::signedIn("a@b.c")},
        {"200 without email", HttpBehaviour::reply(200, R"({"uuid":"u"})", json), Account::signedIn(std::nullopt)},
        {"200 email not a string", HttpBehaviour::reply(200, R"({"email_address":7})", json),
         Account::signedIn(std::nullopt)},
        {"200 not an object", HttpBehaviour::reply(200, R"(["a@b.c"])", json), Account::unknown()},
        {"200 HTML", HttpBehaviour::reply(200, "<html>Just a moment</html>", html), Account::unknown()},
        {"401", HttpBehaviour::reply(401, R"({"error":"unauthorized"})", json), Account::signedOut()},
        {"403 JSON", HttpBehaviour::reply(403, R"({"error":"forbidden"})", json), Account::signedOut()},
        {"403 cf-mitigated", HttpBehaviour::reply(403, "{}", {{"Content-Type", "application/json"}, {"cf-mitigated", "challenge"}}),
         Account::unknown()},
        {"403 HTML", HttpBehaviour::reply(403, "<html>blocked</html>", html), Account::unknown()},
        {"404", HttpBehaviour::reply(404, "{}", json), Account::unknown()},
        {"500", HttpBehaviour::reply(500, "{}", json), Account::unknown()},
        {"refused", HttpBehaviour::failing(sim::HttpOpening::refuse), Account::unknown()},
        {"not HTTP", HttpBehaviour::failing(sim::HttpOpening::malformed), Account::unknown()},
        {"silent past 6 s", HttpBehaviour::failing(sim::HttpOpening::silence), Account::unknown()},
    };
    for (const auto& row : rows) {
        SessionRig rig;
        rig.signIn();
        rig.server.route({ports::HttpMethod::get, "/api/account", std::nullopt, {row.answer}});
        EXPECT_EQ(rig.check(), row.account) << row.name;
    }
}

TEST(ClaudeSession, TheAccountRequestCarriesTheCookiesAndBrowserHeaders) {
    SessionRig rig;
    EXPECT_EQ(rig.check(), Account::signedOut()) << "no session cookie: no request";
    EXPECT_TRUE(rig.server.requests().empty());
    rig.signIn();
    rig.server.reply(ports::HttpMethod::get, "/api/account", 200, "{}");
    rig.check();
    ASSERT_EQ(rig.server.requests().size(), 1u);
    const auto& request = rig.server.requests()[0];
    EXPECT_EQ(request.url, "https://claude.test/api/account");
    EXPECT_EQ(request.headers.value("Cookie"), "sessionKey=sk-1; lastActiveOrg=org-9");
    EXPECT_EQ(request.headers.value("Accept"), "application/json");
    EXPECT_EQ(request.headers.value("User-Agent"),
              "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
              "Version/17.0 Safari/605.1.15");
}

TEST(ClaudeSession, DictationLanguagePrefersTheAccountThenTheSystemThenEnglish) {
    struct Row {
        std::optional<std::string> account;
        std::vector<std::string> system;
        std::string language;
    };
    const std::vector<Row> rows = {
        {std::nullopt, {"vi-VN", "en_GB"}, "en-GB"},
        {std::nullopt, {"zh-Hans-CN"}, "zh-CN"},
        {std::nullopt, {"de-CH"}, "de"},
        {std::nullopt, {"vi-VN"}, "en"},
        {std::nullopt, {}, "en"},
        {std::nullopt, {"es-419", "fr"}, "es-419"},
        {std::nullopt, {"pt_BR"}, "pt-BR"},
        {"", {"fr-FR"}, "fr"},
        {"ja", {"fr-FR"}, "ja"},
    };
    for (const auto& row : rows) {
        SessionRig rig;
        rig.languages.setPreferredLanguages(row.system);
        rig.session.setAccountLanguage(row.account);
        EXPECT_EQ(rig.session.dictationLanguage(), row.language);
    }
}

TEST(ClaudeSession, TheAccountCheckRecordsTheVoiceLanguage) {
    SessionRig rig;
    rig.signIn();
    rig.server.route({ports::HttpMethod::get, "/api/account", std::nullopt,
                      {sim::HttpBehaviour::reply(200, R"({"settings":{"voice_language_code":"ko"}})"),
                       sim::HttpBehaviour::reply(200, R"({"settings":{}})"), sim::HttpBehaviour::reply(500, "")}});
    rig.check();
    EXPECT_EQ(rig.session.dictationLanguage(), "ko");
    rig.check();
    EXPECT_EQ(rig.session.accountLanguage(), "");
    rig.session.setAccountLanguage("ko");
    rig.check();
    EXPECT_EQ(rig.session.accountLanguage(), "ko") << "an answer that settles nothing changes nothing";
}

TEST(ClaudeSession, ClearingTakesTheClaudeAndCompanyCookiesAndForgetsTheLanguage) {
    SessionRig rig;
    for (auto c : {cookie("sessionKey", "k", ".claude.test"), cookie("lastActiveOrg", "o", "claude.test"),
                   cookie("sso", "g", ".x.test"), cookie("ajs", "a", ".anthropic.com"),
                   cookie("cons", "c", "console.anthropic.com", "/p"), cookie("n", "v", "notanthropic.com"),
                   cookie("sub", "s", "www.claude.test")}) {
        rig.store.setFromPage(c);
    }
    rig.session.setAccountLanguage("ko");
    rig.loop.run(rig.session.clearClaudeCookies());
    std::vector<std::string> left;
    for (const auto& c : rig.store.cookies()) left.push_back(c.name);
    EXPECT_EQ(left, (std::vector<std::string>{"sso", "n", "sub"}));
    EXPECT_EQ(rig.session.accountLanguage(), std::nullopt);
}

}  // namespace
}  // namespace veska
