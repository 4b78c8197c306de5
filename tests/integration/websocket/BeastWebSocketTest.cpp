// The Beast client beyond the contract: certificate checks, large messages both ways.
#include <gtest/gtest.h>

#include "BeastWebSocketEnv.h"

namespace veska::platform {
namespace {

using contract::runTask;
using sim::WsBehaviour;
using sim::WsStep;

TEST(BeastWebSocket, AServerTheClientDoesNotTrustIsATlsFailure) {
    BeastWebSocketEnv env;
    env.endpoint({"/x", std::nullopt, {WsBehaviour::accept({WsStep::text(0, "hi")})}});
    // The system's certificates only; and extra certificates that cannot be read (the client
    // still comes up: its secure connections fail).
    const std::optional<std::filesystem::path> extras[] = {std::nullopt,
                                                           std::filesystem::path("/nonexistent/veska-trust.pem")};
    for (const auto& extra : extras) {
        BeastWebSocketClient strict(BeastWebSocketClient::Options{.extraTrusted = extra});
        std::optional<ports::WebSocketErrorKind> kind;
        try {
            runTask(env, contract::ws::converse(&strict, contract::ws::request(env.baseUrl() + "/x"), {}, 1));
        } catch (const ports::WebSocketError& error) {
            kind = error.kind();
        }
        EXPECT_EQ(kind, ports::WebSocketErrorKind::tls) << (extra ? extra->string() : "system only");
    }
}

TEST(BeastWebSocket, LargeMessagesGoBothWaysWhole) {
    BeastWebSocketEnv env;
    std::string big(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    env.endpoint({"/big", std::nullopt,
                  {WsBehaviour::accept({}, {sim::WsReaction{"", true, {WsStep::binary(0, big)}, true}})}});
    auto session = runTask(env, contract::ws::converse(&env.client(), contract::ws::request(env.baseUrl() + "/big"),
                                                       {ports::WebSocketFrame::binary(big)}, 1));
    ASSERT_EQ(session.frames.size(), 1u);
    EXPECT_EQ(session.frames[0].kind, ports::WebSocketFrameKind::binary);
    EXPECT_TRUE(session.frames[0].data == big);
    const auto seen = env.connections().back();
    ASSERT_FALSE(seen.frames.empty());
    EXPECT_TRUE(seen.frames[0].data == big);
}

}  // namespace
}  // namespace veska::platform
