// The console session's cookies, the reading rate and the sign-in page.
#include "GrokAccountRig.h"

namespace veska::testing {
namespace {

class GrokCookies : public ::testing::Test {
protected:
    std::optional<std::string> header() { return loop.run(GrokSession::cookieHeader(&store, "x.ai")); }

    rt::VirtualLoop loop;
    sim::SimCookieStore store{loop.main()};
};

TEST_F(GrokCookies, HeaderHoldsTheLiveXaiCookiesInStoreOrderWhenSsoIsSet) {
    // Expiry offsets are seconds from the moment the header is asked for; every cookie is
    // still live when it is set, ten seconds before.
    constexpr double kSetAhead = 10;
    struct Row {
        const char* label;
        std::vector<ports::WebCookie> cookies;
        std::optional<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"none", {}, std::nullopt},
        {"sso and friends",
         {cookie("a", "1", "console.x.ai"), cookie("sso", "s", ".X.AI"), cookie("b", "2", "x.ai", 60)},
         "a=1; sso=s; b=2"},
        {"other sites are left out",
         {cookie("sso", "s", ".x.ai"), cookie("c", "3", "claude.ai"), cookie("d", "4", "x.ai.evil.test")},
         "sso=s"},
        {"expired cookies are left out", {cookie("sso", "s", ".x.ai"), cookie("old", "5", ".x.ai", -1)}, "sso=s"},
        {"expired sso alone", {cookie("sso", "s", ".x.ai", -1), cookie("e", "5", ".x.ai")}, std::nullopt},
        {"expiring right now", {cookie("sso", "s", ".x.ai", 0)}, std::nullopt},
        {"empty sso", {cookie("sso", "", ".x.ai"), cookie("f", "6", ".x.ai")}, std::nullopt},
        {"sso of another site", {cookie("sso", "s", "grok.example"), cookie("g", "7", ".x.ai")}, std::nullopt},
    };
    for (const Row& row : rows) {
        for (const auto& c : std::vector<ports::WebCookie>(store.cookies())) store.deleteFromPage(c);
        const double askedAt = loop.main().wallNow() + kSetAhead;
        for (ports::WebCookie c : row.cookies) {
            if (c.expires) c.expires = askedAt + *c.expires;
            ASSERT_TRUE(store.setFromPage(c)) << row.label;
        }
        loop.runFor(kSetAhead);
        EXPECT_EQ(header(), row.expected) << row.label;
    }
}

TEST_F(GrokCookies, ClearingDeletesOnlyTheXaiCookies) {
    store.setFromPage(cookie("sso", "s", ".x.ai"));
    store.setFromPage(cookie("keep", "1", "claude.ai"));
    store.setFromPage(cookie("rw", "2", "Console.X.AI"));
    loop.run(GrokSession::clearCookies(&store, "x.ai"));
    ASSERT_EQ(store.cookies().size(), 1u);
    EXPECT_EQ(store.cookies()[0].name, "keep");
    EXPECT_EQ(header(), std::nullopt);
}

TEST(GrokSessionData, RateIsTheStoredOfferedRateOrOne) {
    const std::vector<std::pair<std::optional<ports::PrefValue>, double>> rows = {
        {std::nullopt, 1.0}, {0.5, 0.5}, {2.0, 2.0}, {1.25, 1.25}, {1.75, 1.0}, {0.0, 1.0},
        {std::string("1.5"), 1.0}, {true, 1.0},
    };
    for (const auto& [stored, expected] : rows) {
        sim::SimPreferences prefs;
        if (stored) prefs.set("v2.ttsRate", *stored);
        EXPECT_EQ(GrokSession::rate(prefs), expected);
    }
}

TEST(GrokSessionData, SignInPageRedirectsToTheConsole) {
    EXPECT_EQ(GrokSession::loginURL(consoleConfig()),
              "https://accounts.x.test/sign-in?redirect=https%3A%2F%2Fconsole.x.test");
    EXPECT_EQ(GrokSession::defaultVoices().size(), 4u);
    EXPECT_EQ(GrokSession::defaultVoices()[0], (GrokSession::Voice{"eve", "Eve"}));
}

}  // namespace
}  // namespace veska::testing
