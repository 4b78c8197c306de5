// Contract of the WebSocketClient port: opening, refusals, frames, close codes, losses.
// Instantiate with a factory type whose static make() returns a WebSocketContractEnv.
#pragma once

#include <gtest/gtest.h>

#include "contract/WebSocketContractEnv.h"

namespace veska::contract {

template <class Factory>
class WebSocketClientContract : public ::testing::Test {
protected:
    std::unique_ptr<WebSocketContractEnv> env_ = Factory::make();
    WebSocketContractEnv& env() { return *env_; }
    ports::WebSocketClient* client() { return &env_->client(); }
    ports::WebSocketRequest request(const std::string& path) { return ws::request(env_->baseUrl() + path); }
};

TYPED_TEST_SUITE_P(WebSocketClientContract);

using ports::WebSocketErrorKind;
using ports::WebSocketFrame;
using sim::WsBehaviour;
using sim::WsStep;

TYPED_TEST_P(WebSocketClientContract, OpensWithHeadersQueryAndSubProtocol) {
    this->env().endpoint(ws::at("/v1/realtime", WsBehaviour::accept({WsStep::close(0.05, 1000)})));
    auto request = this->request("/v1/realtime?model=m1&lang=vi");
    request.headers = {{"Cookie", "sso=abc"}, {"Origin", "https://console.example"}, {"User-Agent", "Mozilla/5.0"}};
    request.protocols = {"xai-client-secret.s3", "other"};
    ws::Session session = runTask(this->env(), ws::converse(this->client(), request, {}, 10));
    EXPECT_EQ(session.protocol, "xai-client-secret.s3");
    const auto seen = this->env().connections().back();
    EXPECT_EQ(seen.path, "/v1/realtime");
    EXPECT_EQ(seen.query, "model=m1&lang=vi");
    EXPECT_EQ(seen.headers.value("cookie"), "sso=abc");
    EXPECT_EQ(seen.headers.value("origin"), "https://console.example");
    EXPECT_EQ(seen.offeredProtocols, request.protocols);
}

TYPED_TEST_P(WebSocketClientContract, TextAndBinaryFramesKeepTheirKindAndOrder) {
    sim::WsReaction reply{"hello", false, {WsStep::text(0, "hi"), WsStep::binary(0.05, std::string("\0\1\2", 3)),
                                           WsStep::text(0.05, "tiếng Việt")}, true};
    sim::WsReaction echoBinary{"", true, {WsStep::text(0, "got binary")}, false};
    this->env().endpoint(ws::at("/chat", WsBehaviour::accept({}, {reply, echoBinary})));
    ws::Session session = runTask(
        this->env(), ws::converse(this->client(), this->request("/chat"),
                                  {WebSocketFrame::text("hello"), WebSocketFrame::binary(std::string("\xff\x00", 2))}, 4));
    const std::vector<WebSocketFrame> expected = {WebSocketFrame::text("hi"), WebSocketFrame::text("got binary"),
                                                  WebSocketFrame::binary(std::string("\0\1\2", 3)),
                                                  WebSocketFrame::text("tiếng Việt")};
    EXPECT_EQ(session.frames, expected);
    const auto seen = this->env().connections().back();
    ASSERT_GE(seen.frames.size(), 2u);
    EXPECT_EQ(seen.frames[0].kind, sim::WsFrameKind::text);
    EXPECT_EQ(seen.frames[0].data, "hello");
    EXPECT_EQ(seen.frames[1].kind, sim::WsFrameKind::binary);
    EXPECT_EQ(seen.frames[1].data, std::string("\xff\x00", 2));
}

TYPED_TEST_P(WebSocketClientContract, RefusedUpgradesAreToldApartFromOtherFailures) {
    struct Row {
        WsBehaviour behaviour;
        std::string url;  // empty: the scripted endpoint
        WebSocketErrorKind kind;
        int status;
    };
    auto silent = WsBehaviour::failing(sim::WsHandshake::silence);
    const std::vector<Row> rows = {
        {WsBehaviour::refuse(401, "unauthorized"), "", WebSocketErrorKind::refused, 401},
        {WsBehaviour::refuse(403, "<html>check</html>", {{"cf-mitigated", "challenge"}}), "", WebSocketErrorKind::refused, 403},
        {WsBehaviour::refuse(403, R"({"error":"forbidden"})", {{"Content-Type", "application/json"}}), "",
         WebSocketErrorKind::refused, 403},
        {WsBehaviour::refuse(500, "oops"), "", WebSocketErrorKind::refused, 500},
        {WsBehaviour::failing(sim::WsHandshake::drop, 0.05), "", WebSocketErrorKind::network, 0},
        {WsBehaviour::failing(sim::WsHandshake::tlsFailure), "", WebSocketErrorKind::tls, 0},
        {silent, "", WebSocketErrorKind::timeout, 0},
        {silent, this->env().unreachableUrl(), WebSocketErrorKind::network, 0},
        {silent, "http://wrong.scheme/x", WebSocketErrorKind::invalidUrl, 0},
        {silent, "ws://bad host/", WebSocketErrorKind::invalidUrl, 0},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        this->env().endpoint(ws::at("/up", rows[i].behaviour));
        auto request = this->request("/up");
        if (!rows[i].url.empty()) request.url = rows[i].url;
        // Short only where the time-out is the outcome: the others must not meet it, even
        // when a loaded machine makes the handshake slow.
        request.timeoutSeconds = rows[i].kind == WebSocketErrorKind::timeout ? 0.3 : 10;
        std::optional<ports::WebSocketError> error;
        try {
            runTask(this->env(), ws::converse(this->client(), request, {}, 1));
        } catch (const ports::WebSocketError& e) {
            error = e;
        }
        ASSERT_TRUE(error.has_value()) << "row " << i;
        EXPECT_EQ(error->kind(), rows[i].kind) << "row " << i;
        EXPECT_EQ(error->status(), rows[i].status) << "row " << i;
        if (rows[i].kind == WebSocketErrorKind::refused) {
            EXPECT_EQ(error->body(), rows[i].behaviour.refuseBody) << "row " << i;
            for (const auto& [name, value] : rows[i].behaviour.refuseHeaders.fields()) {
                EXPECT_EQ(error->headers().value(name), value) << "row " << i;
            }
        }
    }
}

TYPED_TEST_P(WebSocketClientContract, HeaderFieldsThatAreNotTheCallersToSetAreRefused) {
    this->env().endpoint(ws::at("/h", WsBehaviour::accept()));
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Sec-WebSocket-Protocol", "xai-client-secret.s"}, {"sec-websocket-key", "x"}, {"Upgrade", "websocket"},
        {"X-Split", "a\r\nInjected: 1"}, {"Bad Name", "v"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto request = this->request("/h");
        request.headers.add(rows[i].first, rows[i].second);
        std::optional<WebSocketErrorKind> kind;
        try {
            runTask(this->env(), ws::converse(this->client(), request, {}, 0));
        } catch (const ports::WebSocketError& error) {
            kind = error.kind();
        }
        EXPECT_EQ(kind, WebSocketErrorKind::invalidHeader) << "row " << i;
    }
    EXPECT_TRUE(this->env().connections().empty()) << "nothing may reach the server";
}

TYPED_TEST_P(WebSocketClientContract, ServerCloseCodesAndReasonsReachTheClient) {
    struct Row {
        int sent;
        std::string reason;
        int received;
    };
    const std::vector<Row> rows = {{1000, "bye", 1000}, {1008, "policy", 1008}, {4001, "custom", 4001}, {0, "", 1005}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        this->env().endpoint(ws::at("/c", WsBehaviour::accept({WsStep::text(0.05, "a"),
                                                                WsStep::close(0.05, rows[i].sent, rows[i].reason),
                                                                WsStep::text(0.05, "after close")})));
        ws::Session session = runTask(this->env(), ws::converse(this->client(), this->request("/c"), {}, 10));
        ASSERT_EQ(session.frames.size(), 2u) << "row " << i << ": nothing after the close frame";
        EXPECT_EQ(session.frames[0], WebSocketFrame::text("a")) << "row " << i;
        EXPECT_EQ(session.frames[1], WebSocketFrame::close(rows[i].received, rows[i].reason)) << "row " << i;
        EXPECT_EQ(session.endedWith, WebSocketErrorKind::closed) << "row " << i;
        EXPECT_EQ(session.sendAfterEnd, WebSocketErrorKind::closed) << "row " << i;
        EXPECT_FALSE(session.openAtEnd) << "row " << i;
    }
}

TYPED_TEST_P(WebSocketClientContract, ClosingEndsAPendingReceiveAndLaterSends) {
    this->env().endpoint(ws::at("/q", WsBehaviour::accept({WsStep::text(0.5, "too late")})));
    for (int code : {1000, 1001, 4000}) {
        auto [pending, sendFailure] = runTask(this->env(), ws::closeWhileReceiving(this->client(), this->request("/q"), code));
        EXPECT_EQ(pending, WebSocketErrorKind::closed) << code;
        EXPECT_EQ(sendFailure, WebSocketErrorKind::closed) << code;
        this->env().advance(0.6);
        const auto seen = this->env().connections().back();
        ASSERT_EQ(seen.frames.size(), 2u) << code;
        EXPECT_EQ(seen.frames[0].data, "x");
        EXPECT_EQ(seen.frames[1].kind, sim::WsFrameKind::close);
        EXPECT_EQ(seen.frames[1].closeCode, code);
        EXPECT_EQ(seen.frames[1].closeReason, "done");
    }
}

TYPED_TEST_P(WebSocketClientContract, ALostConnectionIsANetworkFailureNotAClose) {
    this->env().endpoint(ws::at("/lost", WsBehaviour::accept({WsStep::text(0.05, "a"), WsStep::drop(0.05)})));
    ws::Session session = runTask(this->env(), ws::converse(this->client(), this->request("/lost"), {}, 10));
    EXPECT_EQ(session.frames, (std::vector<WebSocketFrame>{WebSocketFrame::text("a")}));
    EXPECT_EQ(session.endedWith, WebSocketErrorKind::network);
    EXPECT_EQ(session.sendAfterEnd, WebSocketErrorKind::network);
    EXPECT_FALSE(session.openAtEnd);
}

TYPED_TEST_P(WebSocketClientContract, DroppingAnOpenConnectionClosesItNormally) {
    this->env().endpoint(ws::at("/d", WsBehaviour::accept()));
    runTask(this->env(), ws::openAndDrop(this->client(), this->request("/d")));
    this->env().advance(0.2);
    const auto seen = this->env().connections().back();
    ASSERT_EQ(seen.frames.size(), 2u);
    EXPECT_EQ(seen.frames[1].kind, sim::WsFrameKind::close);
    EXPECT_EQ(seen.frames[1].closeCode, ports::kCloseNormal);
}

TYPED_TEST_P(WebSocketClientContract, PingsAreAnsweredAndNeverDelivered) {
    this->env().endpoint(ws::at("/p", WsBehaviour::accept({WsStep::ping(0.05, "p1"), WsStep::text(0.1, "after ping")})));
    ws::Session session = runTask(this->env(), ws::converse(this->client(), this->request("/p"), {}, 1));
    EXPECT_EQ(session.frames, (std::vector<WebSocketFrame>{WebSocketFrame::text("after ping")}));
    const auto seen = this->env().connections().back();
    ASSERT_FALSE(seen.frames.empty());
    EXPECT_EQ(seen.frames[0].kind, sim::WsFrameKind::pong);
    EXPECT_EQ(seen.frames[0].data, "p1");
}

TYPED_TEST_P(WebSocketClientContract, AMessageOverTheLimitFailsTheConnection) {
    this->env().endpoint(ws::at("/big", WsBehaviour::accept({WsStep::text(0.05, std::string(16, 'a')),
                                                             WsStep::text(0.05, std::string(17, 'b'))})));
    auto request = this->request("/big");
    request.maxMessageBytes = 16;
    ws::Session session = runTask(this->env(), ws::converse(this->client(), request, {}, 10));
    EXPECT_EQ(session.frames, (std::vector<WebSocketFrame>{WebSocketFrame::text(std::string(16, 'a'))}));
    EXPECT_EQ(session.endedWith, WebSocketErrorKind::tooLarge);
    this->env().advance(0.1);
    const auto seen = this->env().connections().back();
    ASSERT_FALSE(seen.frames.empty());
    EXPECT_EQ(seen.frames.back().closeCode, ports::kCloseTooBig);
}

TYPED_TEST_P(WebSocketClientContract, CancellingWhileOpeningLeavesNoConnection) {
    this->env().endpoint(ws::at("/slow", WsBehaviour::failing(sim::WsHandshake::silence)));
    auto handle = rt::spawn(this->env().executor(), ws::converse(this->client(), this->request("/slow"), {}, 1));
    // Opening: the server has the connection and says nothing.
    ASSERT_TRUE(this->env().runUntil([&] { return !this->env().connections().empty(); }, 5));
    this->env().advance(0.2);
    EXPECT_FALSE(handle.done());
    handle.cancel();
    ASSERT_TRUE(this->env().runUntil([&] { return handle.done(); }, 5));
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    EXPECT_NE(this->env().connections().back().state, sim::WsConnectionState::open);
}

TYPED_TEST_P(WebSocketClientContract, ResultsArriveOnTheExecutorOfTheCallingTask) {
    this->env().endpoint(ws::at("/e", WsBehaviour::accept({WsStep::text(0.05, "x")})));
    EXPECT_TRUE(runTask(this->env(), ws::receivesOn(this->client(), this->request("/e"), &this->env().executor())));
}

REGISTER_TYPED_TEST_SUITE_P(WebSocketClientContract, OpensWithHeadersQueryAndSubProtocol,
                            TextAndBinaryFramesKeepTheirKindAndOrder, RefusedUpgradesAreToldApartFromOtherFailures,
                            HeaderFieldsThatAreNotTheCallersToSetAreRefused,
                            ServerCloseCodesAndReasonsReachTheClient, ClosingEndsAPendingReceiveAndLaterSends,
                            ALostConnectionIsANetworkFailureNotAClose, DroppingAnOpenConnectionClosesItNormally,
                            PingsAreAnsweredAndNeverDelivered, AMessageOverTheLimitFailsTheConnection,
                            CancellingWhileOpeningLeavesNoConnection, ResultsArriveOnTheExecutorOfTheCallingTask);

}  // namespace veska::contract
