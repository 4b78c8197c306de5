// A Grok text session on the simulated realtime API and virtual time.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/ai/GrokTextSession.h"
#include "core/ai/TranslateError.h"
#include "platform/sim/SimWebSocketClient.h"
#include "platform/sim/SimWebSocketServer.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

using nlohmann::json;
using sim::WsBehaviour;
using sim::WsReaction;
using sim::WsStep;

inline constexpr char kModelQuery[] = "model=grok-voice-think-fast-2.0";

/// The account's answer to a secret request: the secret, or the error it throws.
struct SecretPlan {
    std::optional<TranslateError> failure;
    std::vector<std::string> asked;
};

inline rt::Task<std::string> plannedSecret(std::string model, SecretPlan* plan) {
    plan->asked.push_back(model);
    if (plan->failure) throw *plan->failure;
    co_return "sec-42";
}

/// A server text step carrying one event.
inline WsStep event(double delay, const json& body) {
    return WsStep::text(delay, body.dump());
}

inline json delta(const char* type, const std::string& text) {
    return {{"type", type}, {"delta", text}};
}

inline const json kCreated = {{"type", "session.created"}};
inline const json kDone = {{"type", "response.done"}};

class GrokRealtimeTest : public ::testing::Test {
protected:
    GrokRealtimeTest() {
        client.attach(api);
        GrokTextSession::textOnly = true;
        GrokTextSession::useTool = true;
    }
    ~GrokRealtimeTest() override {
        GrokTextSession::textOnly = true;
        GrokTextSession::useTool = true;
    }

    std::unique_ptr<GrokTextSession> makeSession() {
        GrokRealtimeLink link;
        link.sockets = &client;
        link.apiURL = "https://api.x.test/";
        link.consoleOrigin = "https://console.x.test";
        link.realtimeSecret = [plan = &secrets](std::string model) { return plannedSecret(std::move(model), plan); };
        return std::make_unique<GrokTextSession>(std::move(link), loop.main());
    }

    /// The realtime endpoint: a first event, then each reply's events after "response.create".
    void serve(std::vector<WsStep> opening, std::vector<WsReaction> reactions = {}) {
        api.endpoint({"/v1/realtime", kModelQuery, {WsBehaviour::accept(std::move(opening), std::move(reactions))}});
    }
    /// The endpoint answering a message that contains `marker` with `reply`.
    void serveReply(const std::string& marker, std::vector<WsStep> reply) {
        serve({event(0.1, kCreated)}, {reactTo(marker, std::move(reply))});
    }
    static WsReaction reactTo(std::string marker, std::vector<WsStep> steps) {
        return WsReaction{std::move(marker), false, std::move(steps), true};
    }

    /// Runs `task` and returns the TranslateError it failed with; nothing when it succeeded.
    template <class T>
    std::optional<TranslateError> failure(rt::Task<T> task) {
        try {
            loop.run(std::move(task));
        } catch (const TranslateError& error) {
            return error;
        }
        return std::nullopt;
    }

    /// The JSON objects the client sent on connection `index`.
    std::vector<json> sent(std::size_t index = 0) {
        std::vector<json> out;
        for (const auto& text : api.connections().at(index).texts()) out.push_back(json::parse(text));
        return out;
    }

    rt::VirtualLoop loop;
    sim::SimWebSocketServer api{"wss://api.x.test"};
    sim::SimWebSocketClient client{loop.lane("network")};
    SecretPlan secrets;
};

}  // namespace veska::testing
