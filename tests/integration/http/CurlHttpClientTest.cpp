// The libcurl client's own behaviour beyond the port's contract: limits across redirects, flow
// control, slow chunked streams, huge error bodies, connection reuse, proxies, shutdown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "contract/HttpStreamContract.h"
#include "integration/http/CurlHttpEnv.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"

namespace veska::platform {

namespace {

using contract::Fetched;
using contract::runForError;
using contract::runTask;
using ports::HttpErrorKind;
namespace http = contract::http;

/// Reads one line, then reports whether the server was still sending when it arrived.
rt::Task<std::pair<std::string, sim::HttpExchangeState>> firstLineWhileOpen(
    ports::HttpClient* client, ports::HttpRequest request, testing::LoopbackHttpServer* server) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    std::optional<std::string> line = co_await response.body.nextLine();
    const auto state = server->requests().back().state;
    while (co_await response.body.nextLine()) {
    }
    co_return std::make_pair(line.value_or(""), state);
}

/// Sends, then leaves the body unread for `pause` seconds before reading it all.
rt::Task<std::uint64_t> readLate(ports::HttpClient* client, ports::HttpRequest request, double pause) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    co_await rt::sleepFor(pause);
    while (auto chunk = co_await response.body.nextChunk()) {
    }
    co_return response.body.receivedBytes();
}

class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::string& proxy) {
        saved_ = std::getenv("no_proxy") ? std::optional<std::string>(std::getenv("no_proxy")) : std::nullopt;
        ::unsetenv("no_proxy");
        ::setenv("http_proxy", proxy.c_str(), 1);
    }
    ProxyEnvironment(const ProxyEnvironment&) = delete;
    ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;
    ~ProxyEnvironment() {
        ::unsetenv("http_proxy");
        if (saved_) ::setenv("no_proxy", saved_->c_str(), 1);
    }

private:
    std::optional<std::string> saved_;
};

}  // namespace

TEST(CurlHttpClient, TheTimeLimitCoversEveryHopOfARedirect) {
    CurlHttpEnv env;
    auto slow = sim::HttpBehaviour::redirect(302, "/next");
    slow.headDelaySeconds = 0.2;
    auto slowNext = sim::HttpBehaviour::reply(200, "late");
    slowNext.headDelaySeconds = 0.2;
    env.route(http::always("/first", slow), 0);
    env.route(http::always("/next", slowNext), 0);
    ports::HttpRequest request = http::get(env.baseUrl(0) + "/first");
    request.timeoutSeconds = 0.3;
    auto error = runForError<ports::HttpError>(env, http::fetchAll(&env.client(), request, 100));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), HttpErrorKind::timeout);
}

TEST(CurlHttpClient, SlowChunkedLinesArriveWhileTheServerIsStillSending) {
    CurlHttpEnv env;
    const auto pieces = http::pieces({"data: one\n", "data: two\n", "data: three\n"}, 0.15);
    env.route(
        http::always("/sse", sim::HttpBehaviour::stream(200, pieces, {{"Transfer-Encoding", "chunked"}})), 0);
    auto [line, state] =
        runTask(env, firstLineWhileOpen(&env.client(), http::get(env.baseUrl(0) + "/sse"), &env.server(0)));
    EXPECT_EQ(line, "data: one");
    EXPECT_EQ(state, sim::HttpExchangeState::open) << "the first line is handed out before the stream ends";
}

TEST(CurlHttpClient, AHugeErrorBodyIsReadOnlyAsFarAsAsked) {
    CurlHttpEnv env;
    const std::string huge(8 * 1024 * 1024, 'e');
    env.route(http::always("/err", sim::HttpBehaviour::reply(500, huge)), 0);
    Fetched got = runTask(env, http::fetchAll(&env.client(), http::get(env.baseUrl(0) + "/err"), 4000));
    EXPECT_EQ(got.status, 500);
    EXPECT_EQ(got.body.size(), 4000u);
    EXPECT_TRUE(got.truncated);
    EXPECT_TRUE(env.runUntil([&] { return env.curl().activeTransfers() == 0; }, 5))
        << "the rest is not fetched";
    EXPECT_TRUE(
        env.runUntil([&] { return env.requests(0).back().state == sim::HttpExchangeState::cancelled; }, 5));
}

TEST(CurlHttpClient, AnUnreadBodyPausesTheTransferAndResumesWhenRead) {
    CurlHttpEnv env;
    // Sent in pieces, so the server's count shows how far it got; far more than the client
    // buffers and the sockets hold together.
    const std::size_t pieceBytes = 256 * 1024;
    const std::size_t count = 128;
    auto big = sim::HttpBehaviour::stream(
        200, http::pieces(std::vector<std::string>(count, std::string(pieceBytes, 'b')), 0),
        {{"Content-Length", std::to_string(pieceBytes * count)}});
    env.route(http::always("/big", big), 0);
    auto handle = rt::spawn(env.executor(), readLate(&env.client(), http::get(env.baseUrl(0) + "/big"), 1e6));
    // Without flow control the client would take everything into memory at once.
    std::size_t last = 0;
    int steady = 0;
    const bool stalled = env.runUntil(
        [&] {
            const auto seen = env.requests(0);
            const std::size_t sent = seen.empty() ? 0 : seen.back().bodyBytesSent;
            steady = sent > 0 && sent == last ? steady + 1 : 0;
            last = sent;
            return steady >= 60;
        },
        30);
    ASSERT_TRUE(stalled);
    EXPECT_LT(last, pieceBytes * count) << "the server is held back while nothing is read";
    handle.cancel();
    ASSERT_TRUE(env.runUntil([&] { return handle.done(); }, 5));
    auto reader = rt::spawn(env.executor(), readLate(&env.client(), http::get(env.baseUrl(0) + "/big"), 0.3));
    ASSERT_TRUE(env.runUntil([&] { return reader.done(); }, 60));
    EXPECT_EQ(reader.take(), pieceBytes * count) << "reading lets it go on to the end";
}

TEST(CurlHttpClient, AWarmingHeadLeavesAConnectionTheNextRequestReuses) {
    CurlHttpEnv env;
    env.route(http::always("/", sim::HttpBehaviour::reply(404, "")), 0);
    env.route(http::always("/v1/chat", sim::HttpBehaviour::reply(200, "answer")), 0);
    ports::HttpRequest warm = http::get(env.baseUrl(0) + "/");
    warm.method = ports::HttpMethod::head;
    warm.timeoutSeconds = 5;
    EXPECT_EQ(runTask(env, http::fetchAll(&env.client(), warm, 0)).status, 404);
    ports::HttpRequest post = http::get(env.baseUrl(0) + "/v1/chat");
    post.method = ports::HttpMethod::post;
    post.body = "{}";
    EXPECT_EQ(runTask(env, http::fetchAll(&env.client(), post, 100)).body, "answer");
    EXPECT_EQ(env.server(0).connections(), 1);
}

TEST(CurlHttpClient, AProxyNamedByTheEnvironmentCarriesTheRequest) {
    CurlHttpEnv env;
    const std::string target = "http://api.service.invalid/v1/models";
    env.route(http::always(target, sim::HttpBehaviour::reply(200, "via proxy")), 1);
    ProxyEnvironment proxy(env.baseUrl(1));
    Fetched got = runTask(env, http::fetchAll(&env.client(), http::get(target), 100));
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body, "via proxy");
    ASSERT_EQ(env.requests(1).size(), 1u);
    EXPECT_EQ(env.requests(1)[0].headers.value("Host"), "api.service.invalid");
}

TEST(CurlHttpClient, CancellingBeforeTheHeadClosesTheConnectionAtOnce) {
    CurlHttpEnv env;
    env.route(http::always("/quiet", sim::HttpBehaviour::failing(sim::HttpOpening::silence)), 0);
    auto handle =
        rt::spawn(env.executor(), http::fetchAll(&env.client(), http::get(env.baseUrl(0) + "/quiet"), 100));
    ASSERT_TRUE(env.runUntil([&] { return env.requests(0).size() == 1; }, 5));
    handle.cancel();
    EXPECT_TRUE(env.runUntil([&] { return handle.done(); }, 5));
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    EXPECT_TRUE(
        env.runUntil([&] { return env.requests(0).back().state == sim::HttpExchangeState::cancelled; }, 5));
    EXPECT_EQ(env.curl().activeTransfers(), 0u);
}

TEST(CurlHttpClient, ABodyCutShortOfItsLengthIsANetworkFailure) {
    CurlHttpEnv env;
    auto cut =
        sim::HttpBehaviour::stream(200, http::pieces({"data: a\n"}, 0.02), {{"Content-Length", "100"}});
    cut.ending = sim::HttpEnding::drop;
    env.route(http::always("/cut", cut), 0);
    auto [lines, failure] =
        runTask(env, http::linesUntilError(&env.client(), http::get(env.baseUrl(0) + "/cut")));
    EXPECT_EQ(lines, (std::vector<std::string>{"data: a"}));
    EXPECT_EQ(failure, HttpErrorKind::network);
}

TEST(CurlHttpClient, DestroyingTheClientFailsWhatIsStillRunning) {
    CurlHttpEnv env;
    auto open = sim::HttpBehaviour::stream(200, http::pieces({"a\n"}, 0));
    open.ending = sim::HttpEnding::hang;
    env.route(http::always("/hang", open), 0);
    auto client = std::make_unique<CurlHttpClient>();
    auto handle =
        rt::spawn(env.executor(), http::linesUntilError(client.get(), http::get(env.baseUrl(0) + "/hang")));
    ASSERT_TRUE(env.runUntil([&] { return client->activeTransfers() == 1; }, 5));
    env.advance(0.1);
    client.reset();
    ASSERT_TRUE(env.runUntil([&] { return handle.done(); }, 5));
    auto [lines, failure] = handle.take();
    EXPECT_EQ(lines, (std::vector<std::string>{"a"}));
    EXPECT_EQ(failure, HttpErrorKind::network);
}

}  // namespace veska::platform
