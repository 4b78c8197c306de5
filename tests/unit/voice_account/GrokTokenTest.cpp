// The access token: its request, reuse for 240 seconds, forcing, and how refusals are read.
#include "GrokAccountRig.h"

namespace veska::testing {
namespace {

using Credentials = GrokSpeaker::Credentials;

class GrokToken : public GrokAccountTest {
protected:
    tl::expected<Credentials, GrokSpeakError> token(bool force) { return loop.run(speaker->accessToken(force)); }
};

TEST_F(GrokToken, TokenRequestCarriesTheCookiesAndTheKeyButNoProof) {
    auto first = token(false);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, (Credentials{"t1", "sso=session-1; sso-rw=rw-1"}));
    const auto requests = console.requestsTo("/v1/dpop/token");
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, ports::HttpMethod::post);
    const ports::HttpHeaders expected{
        {"User-Agent", kBrowserUserAgent}, {"Origin", kConsole}, {"Referer", std::string(kConsole) + "/"},
        {"Cookie", "sso=session-1; sso-rw=rw-1"}, {"content-type", "application/json"}};
    for (const auto& [name, value] : expected.fields()) EXPECT_EQ(request.headers.value(name), value) << name;
    EXPECT_FALSE(request.headers.contains("authorization"));
    EXPECT_FALSE(request.headers.contains("dpop"));
    EXPECT_EQ(nlohmann::json::parse(request.body), (nlohmann::json{{"jwk", speaker->jwk()}}));
}

TEST_F(GrokToken, ATokenIsReusedForLessThan240Seconds) {
    struct Row {
        double age;
        bool force;
        bool fetches;
    };
    const std::vector<Row> rows = {
        {0, false, false}, {239, false, false}, {239.99, false, false}, {240, false, true}, {241, false, true},
        {0, true, true}, {100, true, true},
    };
    for (const Row& row : rows) {
        auto fresh = token(true);
        ASSERT_TRUE(fresh.has_value());
        const std::size_t before = tokenRequests();
        loop.runFor(row.age);
        auto got = token(row.force);
        ASSERT_TRUE(got.has_value()) << row.age;
        EXPECT_EQ(tokenRequests() - before, row.fetches ? 1u : 0u) << row.age << (row.force ? " forced" : "");
        EXPECT_EQ(got->token == fresh->token, !row.fetches) << row.age;
    }
}

TEST_F(GrokToken, RefusalsAreSignedOutOnlyWhenTheServiceSaysSo) {
    using sim::HttpBehaviour;
    const ports::HttpHeaders json{{"Content-Type", "application/json; charset=utf-8"}};
    const ports::HttpHeaders challenge{{"Content-Type", "application/json"}, {"cf-mitigated", "challenge"}};
    const ports::HttpHeaders html{{"Content-Type", "text/html"}};
    struct Row {
        const char* label;
        HttpBehaviour answer;
        GrokSpeakError expected;
    };
    const std::vector<Row> rows = {
        {"401", HttpBehaviour::reply(401, "{}", json), GrokSpeakError::signedOut()},
        {"403 json", HttpBehaviour::reply(403, R"({"error":"no"})", json), GrokSpeakError::signedOut()},
        {"403 json with a browser check", HttpBehaviour::reply(403, "{}", challenge), GrokSpeakError::unreachable()},
        {"403 html", HttpBehaviour::reply(403, "<html>", html), GrokSpeakError::unreachable()},
        {"200 without a token", HttpBehaviour::reply(200, R"({"token":"x"})", json), GrokSpeakError::unreachable()},
        {"200 with a number", HttpBehaviour::reply(200, R"({"access_token":5})", json), GrokSpeakError::unreachable()},
        {"200 not json", HttpBehaviour::reply(200, "access_token", json), GrokSpeakError::unreachable()},
        {"500", HttpBehaviour::reply(500, "{}", json), GrokSpeakError::unreachable()},
        {"refused", HttpBehaviour::failing(sim::HttpOpening::refuse), GrokSpeakError::unreachable()},
        {"not http", HttpBehaviour::failing(sim::HttpOpening::malformed), GrokSpeakError::unreachable()},
        {"silent", HttpBehaviour::failing(sim::HttpOpening::silence), GrokSpeakError::unreachable()},
    };
    for (const Row& row : rows) {
        console.route(route(ports::HttpMethod::post, "/v1/dpop/token", {row.answer}));
        auto got = token(true);
        ASSERT_FALSE(got.has_value()) << row.label;
        EXPECT_EQ(got.error(), row.expected) << row.label;
    }
    const auto silent = console.requestsTo("/v1/dpop/token").back();
    EXPECT_NEAR(silent.endedAt - silent.at, GrokSpeaker::kRequestTimeoutSeconds, 0.01);
}

TEST_F(GrokToken, ASignedOutTokenFailureKeepsNoToken) {
    console.route(route(ports::HttpMethod::post, "/v1/dpop/token", {sim::HttpBehaviour::reply(401, "")}));
    EXPECT_EQ(token(false).error(), GrokSpeakError::signedOut());
    EXPECT_EQ(token(false).error(), GrokSpeakError::signedOut());
    EXPECT_EQ(tokenRequests(), 2u);
}

TEST_F(GrokToken, WithoutASessionCookieNothingIsRequested) {
    cookies.deleteFromPage(cookie("sso", "", ".x.ai"));
    EXPECT_EQ(token(false).error(), GrokSpeakError::signedOut());
    EXPECT_EQ(tokenRequests(), 0u);
}

}  // namespace
}  // namespace veska::testing
