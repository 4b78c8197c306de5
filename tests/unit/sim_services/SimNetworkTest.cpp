// What the simulated network adds to the contracts: records, masking, routing, URLs, control.
#include <gtest/gtest.h>

#include "contract/HttpContractEnv.h"
#include "contract/WebSocketContractEnv.h"
#include "platform/sim/SimUrl.h"
#include "unit/sim_services/SimHttpEnv.h"
#include "unit/sim_services/SimWebSocketEnv.h"

namespace veska::sim {
namespace {

using contract::Fetched;
using contract::runForError;
using contract::runTask;
namespace http = contract::http;

TEST(SimHttpServer, PrintedRequestsNeverShowCredentials) {
    SimHttpEnv env;
    env.server(0).secrets().addSecret("AIzaSECRET");
    env.route(http::always("/v1beta/models/m:streamGenerateContent", HttpBehaviour::reply(200, "")), 0);
    ports::HttpRequest request = http::get(env.baseUrl(0) + "/v1beta/models/m:streamGenerateContent?alt=sse&key=AIzaSECRET");
    request.method = ports::HttpMethod::post;
    request.headers = {{"x-goog-api-key", "AIzaSECRET"}, {"Authorization", "DPoP tok-123"}, {"Cookie", "sso=abc; x=1"},
                       {"dpop", "ey.proof"}, {"X-Note", "key AIzaSECRET here"}, {"Accept", "text/event-stream"}};
    request.body = R"({"key":"AIzaSECRET","text":"xin chào"})";
    runTask(env, http::fetchAll(&env.client(), request, 100));
    const std::string printed = ::testing::PrintToString(env.server(0).requests().back());
    for (const char* secret : {"AIzaSECRET", "tok-123", "sso=abc", "ey.proof"}) {
        EXPECT_EQ(printed.find(secret), std::string::npos) << secret << " in " << printed;
    }
    EXPECT_NE(printed.find("Accept: text/event-stream"), std::string::npos) << printed;
    EXPECT_NE(printed.find("xin chào"), std::string::npos) << "what is not secret stays readable";
}

TEST(SimHttpServer, TheMostSpecificRouteAnswers) {
    SimHttpEnv env;
    auto answer = [](const char* text) { return std::vector<HttpBehaviour>{HttpBehaviour::reply(200, text)}; };
    env.server(0).route({std::nullopt, "/a", std::nullopt, answer("path")});
    env.server(0).route({ports::HttpMethod::post, "/a", std::nullopt, answer("method")});
    env.server(0).route({std::nullopt, "/a", "x=1", answer("query")});
    env.server(0).route({ports::HttpMethod::post, "/a", "x=1", answer("both")});
    struct Row {
        ports::HttpMethod method;
        std::string target;
        std::string answer;
        int status;
    };
    const std::vector<Row> rows = {
        {ports::HttpMethod::get, "/a", "path", 200},       {ports::HttpMethod::post, "/a", "method", 200},
        {ports::HttpMethod::get, "/a?x=1", "query", 200},  {ports::HttpMethod::post, "/a?x=1", "both", 200},
        {ports::HttpMethod::get, "/a?x=2", "path", 200},   {ports::HttpMethod::get, "/a/", "", 404},
        {ports::HttpMethod::get, "/b", "", 404},
    };
    for (const auto& row : rows) {
        ports::HttpRequest request = http::get(env.baseUrl(0) + row.target);
        request.method = row.method;
        Fetched got = runTask(env, http::fetchAll(&env.client(), request, 100));
        EXPECT_EQ(got.status, row.status) << row.target;
        EXPECT_EQ(got.body, row.answer) << row.target;
    }
}

TEST(SimHttpServer, ReplacingARouteStartsItsTurnsAgainAndIndicesKeepGrowing) {
    SimHttpEnv env;
    const HttpRoute twice{std::nullopt, "/t", std::nullopt, {HttpBehaviour::reply(401, ""), HttpBehaviour::reply(200, "")}};
    env.route(twice, 0);
    auto status = [&] { return runTask(env, http::fetchAll(&env.client(), http::get(env.baseUrl(0) + "/t"), 10)).status; };
    EXPECT_EQ(status(), 401);
    EXPECT_EQ(status(), 200);
    env.route(twice, 0);
    EXPECT_EQ(status(), 401);
    env.server(0).clearRequests();
    EXPECT_EQ(status(), 200);
    ASSERT_EQ(env.server(0).requests().size(), 1u);
    EXPECT_EQ(env.server(0).requests()[0].index, 3u);
    EXPECT_EQ(env.server(0).record(0), nullptr);
}

TEST(SimHttpServer, RecordsHowEachExchangeEnded) {
    SimHttpEnv env;
    auto hanging = HttpBehaviour::reply(200, "a\n");
    hanging.ending = HttpEnding::hang;
    struct Row {
        HttpBehaviour behaviour;
        double timeout;
        HttpExchangeState state;
        double endedAt;
    };
    const std::vector<Row> rows = {
        {HttpBehaviour::stream(200, http::pieces({"a", "b"}, 0.5)), 10, HttpExchangeState::completed, 1.0},
        {hanging, 2, HttpExchangeState::timedOut, 2.0},
        {HttpBehaviour::failing(HttpOpening::refuse), 10, HttpExchangeState::failed, 0.0},
        {HttpBehaviour::failing(HttpOpening::malformed, 0.3), 10, HttpExchangeState::failed, 0.3},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        env.route(http::always("/r", rows[i].behaviour), 0);
        ports::HttpRequest request = http::get(env.baseUrl(0) + "/r");
        request.timeoutSeconds = rows[i].timeout;
        const double start = env.loop().now();
        try {
            runTask(env, http::fetchAll(&env.client(), request, 100));
        } catch (const ports::HttpError&) {
        }
        const auto seen = env.server(0).requests().back();
        EXPECT_EQ(seen.state, rows[i].state) << "row " << i;
        EXPECT_DOUBLE_EQ(seen.endedAt - start, rows[i].endedAt) << "row " << i;
        EXPECT_DOUBLE_EQ(seen.at, start) << "row " << i;
    }
    EXPECT_EQ(env.simClient().activeTransfers(), 0u);
}

TEST(SimHttpClient, ATakenDownServerIsAnUnknownHostAndAGoneClientFailsItsTransfers) {
    SimHttpEnv env;
    env.route(http::always("/x", HttpBehaviour::reply(200, "ok")), 0);
    env.simClient().detach(env.server(0));
    auto error = runForError<ports::HttpError>(env, http::fetchAll(&env.client(), http::get(env.baseUrl(0) + "/x"), 10));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ports::HttpErrorKind::network);
    EXPECT_TRUE(env.server(0).requests().empty());

    auto client = std::make_unique<SimHttpClient>(env.loop().lane("network"));
    client->attach(env.server(1));
    env.route(http::always("/slow", HttpBehaviour::failing(HttpOpening::silence)), 1);
    auto handle = rt::spawn(env.executor(), http::fetchAll(client.get(), http::get(env.baseUrl(1) + "/slow"), 10));
    env.advance(1);
    EXPECT_EQ(client->activeTransfers(), 1u);
    client.reset();
    ASSERT_TRUE(env.runUntil([&] { return handle.done(); }, 1));
    EXPECT_EQ(handle.outcome(), rt::Outcome::error);
}

TEST(SimUrl, ParsesAbsoluteUrlsAndRefusesTheRest) {
    struct Row {
        std::string text;
        std::optional<std::string> origin;
        std::string target;
    };
    const std::vector<Row> rows = {
        {"https://API.Example.com/v1/x?a=b#frag", "https://api.example.com", "/v1/x?a=b"},
        {"http://127.0.0.1:8797", "http://127.0.0.1:8797", "/"},
        {"http://h:80/p", "http://h", "/p"},
        {"wss://h:443?q", "wss://h", "/?q"},
        {"ws://[::1]:9000/s", "ws://[::1]:9000", "/s"},
        {"http://h:0/", std::nullopt, ""},
        {"http://h:65536/", std::nullopt, ""},
        {"http://user@h/", std::nullopt, ""},
        {"http:/h/", std::nullopt, ""},
        {"h/p", std::nullopt, ""},
        {"http://h /p", std::nullopt, ""},
        {"http://.h/", std::nullopt, ""},
        {"1http://h/", std::nullopt, ""},
    };
    for (const auto& row : rows) {
        auto url = SimUrl::parse(row.text);
        ASSERT_EQ(url.has_value(), row.origin.has_value()) << row.text;
        if (!url) continue;
        EXPECT_EQ(url->origin(), *row.origin) << row.text;
        EXPECT_EQ(url->target(), row.target) << row.text;
    }
    auto base = SimUrl::parse("https://a.test/x/y");
    EXPECT_EQ(SimUrl::resolve(*base, "/z?q=1")->text(), "https://a.test/z?q=1");
    EXPECT_EQ(SimUrl::resolve(*base, "http://b.test/")->text(), "http://b.test/");
    EXPECT_FALSE(SimUrl::resolve(*base, "relative").has_value());
    EXPECT_FALSE(SimUrl::resolve(*base, "//b.test/").has_value());
}

}  // namespace
}  // namespace veska::sim
