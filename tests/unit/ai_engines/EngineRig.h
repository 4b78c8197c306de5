// A simulated Gemini and DeepSeek API on virtual time, and helpers to script their answers.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ai/AIHTTP.h"
#include "core/ai/AIHealth.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

inline constexpr char kGeminiOrigin[] = "https://gemini.test";
inline constexpr char kDeepseekOrigin[] = "https://deepseek.test";

/// One virtual loop, both simulated APIs, a client attached to them and a private health record.
struct EngineRig {
    rt::VirtualLoop loop;
    sim::SimHttpServer gemini{kGeminiOrigin};
    sim::SimHttpServer deepseek{kDeepseekOrigin};
    sim::SimHttpClient http{loop.lane("network")};
    AIHealth health;

    EngineRig() {
        http.attach(gemini);
        http.attach(deepseek);
    }

    AIHTTP::Link link() {
        return AIHTTP::Link{.http = &http, .endpoints = {kGeminiOrigin, kDeepseekOrigin}, .health = &health};
    }

    static std::string geminiPath(const std::string& model) {
        return "/v1beta/models/" + model + ":streamGenerateContent";
    }
    void routeGemini(const std::string& model, std::vector<sim::HttpBehaviour> behaviours) {
        gemini.route({ports::HttpMethod::post, geminiPath(model), std::nullopt, std::move(behaviours)});
    }
    void routeDeepseek(std::vector<sim::HttpBehaviour> behaviours) {
        deepseek.route({ports::HttpMethod::post, "/chat/completions", std::nullopt, std::move(behaviours)});
    }
};

/// A Gemini event with one text part.
inline std::string geminiEvent(const std::string& text) {
    nlohmann::json event = {
        {"candidates", {{{"content", {{"role", "model"}, {"parts", {{{"text", text}}}}}}}}}};
    return "data: " + event.dump() + "\r\n\r\n";
}

/// A DeepSeek event with one piece of content.
inline std::string deepseekEvent(const std::string& text) {
    nlohmann::json event = {{"choices", {{{"index", 0}, {"delta", {{"content", text}}}}}}};
    return "data: " + event.dump() + "\n\n";
}

/// A 200 answer streaming `pieces` of text as Gemini events, each `gap` seconds after the last.
inline sim::HttpBehaviour geminiStream(const std::vector<std::string>& pieces, double gap = 0.1) {
    std::vector<sim::HttpPiece> body;
    for (const std::string& piece : pieces) body.push_back({gap, geminiEvent(piece)});
    return sim::HttpBehaviour::stream(200, std::move(body), {{"Content-Type", "text/event-stream"}});
}

inline sim::HttpBehaviour deepseekStream(const std::vector<std::string>& pieces, double gap = 0.1) {
    std::vector<sim::HttpPiece> body;
    for (const std::string& piece : pieces) body.push_back({gap, deepseekEvent(piece)});
    body.push_back({gap, "data: [DONE]\n\n"});
    return sim::HttpBehaviour::stream(200, std::move(body), {{"Content-Type", "text/event-stream"}});
}

/// An error answer in the services' JSON shape.
inline sim::HttpBehaviour errorReply(int status, const std::string& message, double delay = 0) {
    nlohmann::json body = {{"error", {{"code", status}, {"message", message}}}};
    sim::HttpBehaviour behaviour = sim::HttpBehaviour::reply(status, body.dump());
    behaviour.headDelaySeconds = delay;
    return behaviour;
}

}  // namespace veska::testing
