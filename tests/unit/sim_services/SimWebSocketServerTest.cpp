// What the simulated WebSocket server adds to the contract: live control, turns, masking.
#include <gtest/gtest.h>

#include "contract/WebSocketContractEnv.h"
#include "unit/sim_services/SimWebSocketEnv.h"

namespace veska::sim {
namespace {

using contract::runTask;
using ports::WebSocketErrorKind;
using ports::WebSocketFrame;
namespace ws = contract::ws;

rt::Task<std::unique_ptr<ports::WebSocket>> open(ports::WebSocketClient* client, ports::WebSocketRequest request) {
    std::unique_ptr<ports::WebSocket> socket = co_await client->connect(std::move(request));
    co_return socket;
}

rt::Task<std::vector<std::string>> texts(ports::WebSocket* socket, std::size_t count) {
    std::vector<std::string> out;
    while (out.size() < count) {
        WebSocketFrame frame = co_await socket->receive();
        out.push_back(frame.kind == ports::WebSocketFrameKind::close ? "close " + std::to_string(frame.closeCode) : frame.data);
    }
    co_return out;
}

TEST(SimWebSocketServer, ATestCanActOnALiveConnection) {
    SimWebSocketEnv env;
    env.endpoint(ws::at("/live", WsBehaviour::accept()));
    auto socket = runTask(env, open(&env.client(), ws::request(env.baseUrl() + "/live")));
    EXPECT_TRUE(env.server().sendText(0, "one"));
    EXPECT_TRUE(env.server().sendBinary(0, std::string("\0", 1)));
    EXPECT_TRUE(env.server().close(0, 4000, "enough"));
    EXPECT_FALSE(env.server().sendText(0, "after close"));
    EXPECT_FALSE(env.server().drop(0));
    EXPECT_FALSE(env.server().sendText(7, "no such connection"));
    EXPECT_EQ(runTask(env, texts(socket.get(), 3)), (std::vector<std::string>{"one", std::string("\0", 1), "close 4000"}));
    EXPECT_EQ(env.server().connections()[0].state, WsConnectionState::closedByServer);
}

TEST(SimWebSocketServer, ReactionsAnswerClientFramesOnceOrEveryTime) {
    SimWebSocketEnv env;
    WsReaction once{"response.create", false, {WsStep::text(0.1, "done")}, true};
    WsReaction every{"", false, {WsStep::text(0, "ack")}, false};
    env.endpoint(ws::at("/r", WsBehaviour::accept({}, {once, every})));
    ws::Session session = runTask(env, ws::converse(&env.client(), ws::request(env.baseUrl() + "/r"),
                                                     {WebSocketFrame::text("response.create"), WebSocketFrame::text("x"),
                                                      WebSocketFrame::text("response.create")},
                                                     4));
    std::vector<std::string> got;
    for (const auto& frame : session.frames) got.push_back(frame.data);
    EXPECT_EQ(got, (std::vector<std::string>{"ack", "ack", "ack", "done"}));
}

TEST(SimWebSocketServer, ConnectionsGetTheEndpointBehavioursInTurn) {
    SimWebSocketEnv env;
    env.endpoint(WsEndpoint{"/t", std::nullopt, {WsBehaviour::refuse(401), WsBehaviour::accept()}});
    std::vector<std::string> outcomes;
    for (int i = 0; i < 3; ++i) {
        try {
            auto socket = runTask(env, open(&env.client(), ws::request(env.baseUrl() + "/t")));
            outcomes.push_back("open");
        } catch (const ports::WebSocketError& error) {
            outcomes.push_back(std::to_string(error.status()));
        }
    }
    EXPECT_EQ(outcomes, (std::vector<std::string>{"401", "open", "open"}));
    try {
        runTask(env, open(&env.client(), ws::request(env.baseUrl() + "/unknown")));
        ADD_FAILURE() << "an unknown path was accepted";
    } catch (const ports::WebSocketError& error) {
        EXPECT_EQ(error.kind(), WebSocketErrorKind::refused);
        EXPECT_EQ(error.status(), 404);
    }
}

TEST(SimWebSocketServer, ChoosingASubProtocolTheClientDidNotOfferBreaksTheUpgrade) {
    SimWebSocketEnv env;
    WsBehaviour picky = WsBehaviour::accept();
    picky.protocol = "chat.v2";
    env.endpoint(ws::at("/p", picky));
    auto request = ws::request(env.baseUrl() + "/p");
    request.protocols = {"chat.v1"};
    try {
        runTask(env, open(&env.client(), request));
        ADD_FAILURE() << "accepted";
    } catch (const ports::WebSocketError& error) {
        EXPECT_EQ(error.kind(), WebSocketErrorKind::badResponse);
    }
    request.protocols = {"chat.v1", "chat.v2"};
    auto socket = runTask(env, open(&env.client(), request));
    EXPECT_EQ(socket->protocol(), "chat.v2");
}

TEST(SimWebSocketServer, PrintedConnectionsNeverShowCredentials) {
    SimWebSocketEnv env;
    env.server().secrets().addSecret("cs-SECRET");
    env.endpoint(ws::at("/v1/realtime", WsBehaviour::accept()));
    auto request = ws::request(env.baseUrl() + "/v1/realtime?model=m");
    request.headers = {{"Cookie", "sessionKey=sk-ant-1"}, {"Origin", "https://console.x.test"}};
    request.protocols = {"xai-client-secret.cs-SECRET"};
    runTask(env, ws::converse(&env.client(), request, {WebSocketFrame::text(R"({"secret":"cs-SECRET"})")}, 0));
    const std::string printed = ::testing::PrintToString(env.server().connections().back());
    EXPECT_EQ(printed.find("cs-SECRET"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("sk-ant-1"), std::string::npos) << printed;
    EXPECT_NE(printed.find("/v1/realtime?model=m"), std::string::npos) << printed;
    EXPECT_NE(printed.find("xai-client-secret."), std::string::npos) << "the offered protocols are shown, masked";
}

}  // namespace
}  // namespace veska::sim
