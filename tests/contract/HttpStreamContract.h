// Contract of the HttpClient port, part two: bodies streamed as lines and pieces, limits,
// cancellation and the two time-outs. Instantiate with a factory of HttpContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "contract/HttpContractEnv.h"
#include "runtime/Sleep.h"

namespace veska::contract {

template <class Factory>
class HttpStreamContract : public ::testing::Test {
protected:
    std::unique_ptr<HttpContractEnv> env_ = Factory::make();
    HttpContractEnv& env() { return *env_; }
    ports::HttpClient* client() { return &env_->client(); }
    std::string url(const std::string& path) { return env_->baseUrl() + path; }
};

namespace http {

/// Reads `count` lines, then cancels the body and tries one more read; returns the lines and
/// whether that last read failed with `cancelled`.
inline rt::Task<std::pair<std::vector<std::string>, bool>> readThenCancel(ports::HttpClient* client,
                                                                          ports::HttpRequest request, int count) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::optional<std::string> line = co_await response.body.nextLine();
        if (line) lines.push_back(*line);
    }
    response.body.cancel();
    bool cancelled = false;
    try {
        co_await response.body.nextLine();
    } catch (const ports::HttpError& error) {
        cancelled = error.kind() == ports::HttpErrorKind::cancelled;
    }
    co_return std::make_pair(lines, cancelled);
}

/// Reads lines until the end or a failure; returns them and the failure, if any.
inline rt::Task<std::pair<std::vector<std::string>, std::optional<ports::HttpErrorKind>>> linesUntilError(
    ports::HttpClient* client, ports::HttpRequest request) {
    std::vector<std::string> lines;
    std::optional<ports::HttpErrorKind> failure;
    try {
        ports::HttpResponse response = co_await client->send(std::move(request));
        while (true) {
            std::optional<std::string> line = co_await response.body.nextLine();
            if (!line) break;
            lines.push_back(*line);
        }
    } catch (const ports::HttpError& error) {
        failure = error.kind();
    }
    co_return std::make_pair(lines, failure);
}

inline rt::Task<bool> resumesOn(ports::HttpClient* client, ports::HttpRequest request, rt::Executor* expected) {
    ports::HttpResponse response = co_await client->send(std::move(request));
    const bool headHere = rt::Executor::current() == expected;
    std::optional<std::string> line = co_await response.body.nextLine();
    co_return headHere && line.has_value() && rt::Executor::current() == expected;
}

}  // namespace http

TYPED_TEST_SUITE_P(HttpStreamContract);

TYPED_TEST_P(HttpStreamContract, LinesArriveWholeHoweverThePiecesCutThem) {
    struct Row {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {{"data: a\n", "data: b\n"}, {"data: a", "data: b"}},
        {{"da", "ta: a\nda", "ta: b\n"}, {"data: a", "data: b"}},
        {{"a\r", "\nb\r\n"}, {"a", "b"}},
        {{"a\r\n\r\nb"}, {"a", "", "b"}},
        {{"one\ntwo"}, {"one", "two"}},
        {{"x\ry\r"}, {"x", "y"}},
        {{"\n"}, {""}},
        {{"tiếng ", "Việt\n"}, {"tiếng Việt"}},
        {{}, {}},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        this->env().route(http::always("/sse", sim::HttpBehaviour::stream(200, http::pieces(rows[i].pieces, 0.05))));
        Fetched got = runTask(this->env(), http::fetchLines(this->client(), http::get(this->url("/sse"))));
        EXPECT_EQ(got.pieces, rows[i].lines) << "row " << i;
    }
}

TYPED_TEST_P(HttpStreamContract, ALineIsHandedOutBeforeTheBodyEnds) {
    sim::HttpBehaviour open = sim::HttpBehaviour::stream(200, http::pieces({"first\n", "sec"}, 0.05));
    open.ending = sim::HttpEnding::hang;
    this->env().route(http::always("/open", open));
    auto [lines, cancelled] = runTask(this->env(), http::readThenCancel(this->client(), http::get(this->url("/open")), 1));
    EXPECT_EQ(lines, (std::vector<std::string>{"first"}));
    EXPECT_TRUE(cancelled);
}

TYPED_TEST_P(HttpStreamContract, ChunksTogetherAreTheBody) {
    this->env().route(http::always("/c", sim::HttpBehaviour::stream(200, http::pieces({"ab", "cd\n", "ef"}, 0.2))));
    Fetched got = runTask(this->env(), http::fetchChunks(this->client(), http::get(this->url("/c"))));
    EXPECT_EQ(got.body, "abcd\nef");
    EXPECT_GE(got.pieces.size(), 2u) << "pieces sent apart in time arrive apart";
}

TYPED_TEST_P(HttpStreamContract, ReadAllStopsAtTheByteLimit) {
    struct Row {
        std::size_t limit;
        std::string expected;
        bool truncated;
    };
    const std::vector<Row> rows = {
        {11, "0123456789", false}, {10, "0123456789", false}, {9, "012345678", true}, {0, "", true},
    };
    this->env().route(http::always("/b", sim::HttpBehaviour::stream(200, http::pieces({"01234", "56789"}, 0.05))));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Fetched got = runTask(this->env(), http::fetchAll(this->client(), http::get(this->url("/b")), rows[i].limit));
        EXPECT_EQ(got.body, rows[i].expected) << "row " << i;
        EXPECT_EQ(got.truncated, rows[i].truncated) << "row " << i;
    }
}

TYPED_TEST_P(HttpStreamContract, CancelMidStreamEndsTheTransferAndDeliversNothingMore) {
    std::vector<std::string> many(40, "line\n");
    this->env().route(http::always("/long", sim::HttpBehaviour::stream(200, http::pieces(many, 0.05))));
    auto [lines, cancelled] = runTask(this->env(), http::readThenCancel(this->client(), http::get(this->url("/long")), 3));
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_TRUE(cancelled) << "a read after cancel fails with cancelled";
    this->env().advance(0.5);
    const auto seen = this->env().requests().back();
    EXPECT_EQ(seen.state, sim::HttpExchangeState::cancelled);
    EXPECT_LT(seen.bodyBytesSent, 40u * 5u) << "the server stopped sending";
}

TYPED_TEST_P(HttpStreamContract, CancellingTheReadingTaskEndsTheTransfer) {
    sim::HttpBehaviour open = sim::HttpBehaviour::stream(200, http::pieces({"a\n"}, 0));
    open.ending = sim::HttpEnding::hang;
    this->env().route(http::always("/hang", open));
    auto handle = rt::spawn(this->env().executor(), http::fetchLines(this->client(), http::get(this->url("/hang"))));
    this->env().advance(0.3);
    EXPECT_FALSE(handle.done());
    handle.cancel();
    EXPECT_TRUE(this->env().runUntil([&] { return handle.done(); }, 5));
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    this->env().advance(0.2);
    EXPECT_EQ(this->env().requests().back().state, sim::HttpExchangeState::cancelled);
}

TYPED_TEST_P(HttpStreamContract, IdleTimeOutAndRequestTimeOutAreToldApart) {
    using ports::HttpErrorKind;
    struct Row {
        sim::HttpBehaviour behaviour;
        double timeout;
        double idle;
        std::optional<HttpErrorKind> expected;
    };
    const auto trickle = sim::HttpBehaviour::stream(200, http::pieces(std::vector<std::string>(8, "t\n"), 0.1));
    auto stall = sim::HttpBehaviour::stream(200, http::pieces({"t\n"}, 0.05));
    stall.ending = sim::HttpEnding::hang;
    const auto silent = sim::HttpBehaviour::failing(sim::HttpOpening::silence);
    const std::vector<Row> rows = {
        {trickle, 5, 0.4, std::nullopt},                   // steady data: neither limit is hit
        {trickle, 0.45, 0.4, HttpErrorKind::timeout},      // steady but too long in all
        {stall, 5, 0.3, HttpErrorKind::idleTimeout},       // goes quiet after the head
        {silent, 5, 0.3, HttpErrorKind::idleTimeout},      // never answers, idle limit first
        {silent, 0.3, 0, HttpErrorKind::timeout},          // never answers, no idle limit
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        this->env().route(http::always("/t", rows[i].behaviour));
        ports::HttpRequest request = http::get(this->url("/t"));
        request.timeoutSeconds = rows[i].timeout;
        request.idleTimeoutSeconds = rows[i].idle;
        auto error = runForError<ports::HttpError>(this->env(), http::fetchLines(this->client(), request));
        ASSERT_EQ(error.has_value(), rows[i].expected.has_value()) << "row " << i;
        if (error) EXPECT_EQ(error->kind(), *rows[i].expected) << "row " << i;
    }
}

TYPED_TEST_P(HttpStreamContract, DroppedMidStreamGivesTheDataThenANetworkError) {
    auto dropped = sim::HttpBehaviour::stream(200, http::pieces({"a\n", "b\n"}, 0.05));
    dropped.ending = sim::HttpEnding::drop;
    dropped.endDelaySeconds = 0.05;
    this->env().route(http::always("/drop", dropped));
    auto [lines, failure] = runTask(this->env(), http::linesUntilError(this->client(), http::get(this->url("/drop"))));
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(failure, ports::HttpErrorKind::network);
}

TYPED_TEST_P(HttpStreamContract, ALineBeyondTheLimitFailsInsteadOfGrowing) {
    this->env().route(http::always("/huge", sim::HttpBehaviour::reply(200, std::string(ports::kMaxHttpLineBytes + 1, 'x'))));
    auto error = runForError<ports::HttpError>(this->env(), http::fetchLines(this->client(), http::get(this->url("/huge"))));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ports::HttpErrorKind::tooLarge);
}

TYPED_TEST_P(HttpStreamContract, ResultsArriveOnTheExecutorOfTheCallingTask) {
    this->env().route(http::always("/e", sim::HttpBehaviour::stream(200, http::pieces({"x\n"}, 0.05))));
    EXPECT_TRUE(runTask(this->env(), http::resumesOn(this->client(), http::get(this->url("/e")), &this->env().executor())));
}

REGISTER_TYPED_TEST_SUITE_P(HttpStreamContract, LinesArriveWholeHoweverThePiecesCutThem,
                            ALineIsHandedOutBeforeTheBodyEnds, ChunksTogetherAreTheBody, ReadAllStopsAtTheByteLimit,
                            CancelMidStreamEndsTheTransferAndDeliversNothingMore,
                            CancellingTheReadingTaskEndsTheTransfer, IdleTimeOutAndRequestTimeOutAreToldApart,
                            DroppedMidStreamGivesTheDataThenANetworkError, ALineBeyondTheLimitFailsInsteadOfGrowing,
                            ResultsArriveOnTheExecutorOfTheCallingTask);

}  // namespace veska::contract
