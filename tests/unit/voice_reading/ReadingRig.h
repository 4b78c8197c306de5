// A signed-in Grok account reading aloud on the simulated console, speakers and virtual time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ui/AppStrings.h"
#include "core/voice/GrokSpeaker.h"
#include "platform/sim/SimActivityAssertion.h"
#include "platform/sim/SimAudioPlayer.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "platform/sim/SimPreferences.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska::reading {

inline constexpr char kConsole[] = "https://console.x.test";
inline constexpr char kApi[] = "https://api.x.test";
inline constexpr char kSpeech[] = "/v1/tts";

inline ServiceConfig consoleConfig() {
    ServiceConfig config = ServiceConfig::defaults();
    config.urls[static_cast<std::size_t>(Service::xaiConsole)] = kConsole;
    config.urls[static_cast<std::size_t>(Service::xaiAPI)] = std::string(kApi) + "/v1";
    return config;
}

/// `count` samples of 16-bit PCM whose values run `start`, `start + 1`, ...
inline std::string ramp(std::size_t count, std::int16_t start = 1) {
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(start + static_cast<std::int16_t>(i % 20000)));
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

/// An answer streaming `pcm` in pieces of `pieceBytes` (odd sizes cut samples), 10 ms apart.
inline sim::HttpBehaviour audio(const std::string& pcm, std::size_t pieceBytes = 4801) {
    std::vector<sim::HttpPiece> pieces;
    for (std::size_t at = 0; at < pcm.size(); at += pieceBytes) pieces.push_back({0.01, pcm.substr(at, pieceBytes)});
    return sim::HttpBehaviour::stream(200, std::move(pieces), {{"Content-Type", "application/octet-stream"}});
}

inline sim::HttpBehaviour refusal(int status) {
    return sim::HttpBehaviour::reply(status, R"({"error":"no"})", {{"Content-Type", "application/json"}});
}

/// What one reading reported.
struct Outcome {
    int starts = 0;
    std::vector<double> levels;
    bool finished = false;
    std::optional<GrokSpeakError> error;
};

/// The speaker with every service simulated; `speakers` may be replaced by a test's own.
class ReadingTest : public ::testing::Test {
protected:
    ReadingTest() {
        http.attach(console);
        ports::WebCookie sso;
        sso.name = "sso";
        sso.value = "session-1";
        sso.domain = ".x.ai";
        cookies.setFromPage(sso);
        console.secrets().addSecret("session-1");
        routeTokens();
        useSpeakers(speakers);
    }

    /// The token endpoint hands out "t1", "t2", ... from now on.
    void routeTokens() {
        std::vector<sim::HttpBehaviour> tokens;
        for (int i = 1; i <= 20; ++i) {
            tokens.push_back(sim::HttpBehaviour::reply(200, nlohmann::json{{"access_token", "t" + std::to_string(i)}}.dump(),
                                                       {{"Content-Type", "application/json"}}));
        }
        console.route(sim::HttpRoute{ports::HttpMethod::post, "/v1/dpop/token", std::nullopt, tokens});
    }
    ~ReadingTest() override {
        speaker.reset();
        AppStrings::setLocale(nlohmann::json{{"locale", "vi"}}, sim::SimSystemLanguages());
    }

    /// A speaker playing on `player`.
    void useSpeakers(ports::AudioPlayer& player) {
        speaker.reset();
        speaker = std::make_unique<GrokSpeaker>(
            GrokSpeaker::Services{loop.main(), http, cookies, prefs, consoleConfig(), &player, &activity});
    }

    void english() { AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, sim::SimSystemLanguages()); }

    void answerSpeech(std::vector<sim::HttpBehaviour> behaviours) {
        console.route(sim::HttpRoute{ports::HttpMethod::post, kSpeech, std::nullopt, std::move(behaviours)});
    }

    /// Starts reading `text`; the outcome fills in as the loop runs.
    std::shared_ptr<Outcome> speak(const std::string& text, const std::string& voice = "eve") {
        auto outcome = std::make_shared<Outcome>();
        speaker->speak(
            text, voice, [outcome](bool) { ++outcome->starts; },
            [outcome](double level) { outcome->levels.push_back(level); },
            [outcome](std::optional<GrokSpeakError> error) {
                EXPECT_FALSE(outcome->finished) << "finished twice";
                outcome->finished = true;
                outcome->error = std::move(error);
            });
        return outcome;
    }

    /// Runs until the reading finished (at most `seconds` of virtual time).
    bool finish(const Outcome& outcome, double seconds = 600) {
        return loop.runUntil([&] { return outcome.finished; }, seconds);
    }

    std::vector<sim::RecordedHttpRequest> speechRequests() const { return console.requestsTo(kSpeech); }
    std::size_t tokenRequests() const { return console.requestsTo("/v1/dpop/token").size(); }

    rt::VirtualLoop loop;
    sim::SimHttpServer console{kConsole};
    sim::SimHttpClient http{loop.lane("network")};
    sim::SimCookieStore cookies{loop.main()};
    sim::SimPreferences prefs;
    sim::SimAudioPlayer speakers{loop.lane("audio")};
    sim::SimActivityAssertion activity;
    std::unique_ptr<GrokSpeaker> speaker;
};

}  // namespace veska::reading
