// A Grok account on the simulated console: cookies, an HTTP client, virtual time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "core/ai/BrowserUserAgent.h"
#include "core/ui/AppStrings.h"
#include "core/voice/GrokSpeaker.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "platform/sim/SimPreferences.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

inline constexpr char kConsole[] = "https://console.x.test";

inline ServiceConfig consoleConfig() {
    ServiceConfig config = ServiceConfig::defaults();
    config.urls[static_cast<std::size_t>(Service::xaiConsole)] = kConsole;
    config.urls[static_cast<std::size_t>(Service::xaiAccounts)] = "https://accounts.x.test";
    config.urls[static_cast<std::size_t>(Service::xaiAPI)] = "https://api.x.test";
    return config;
}

inline ports::WebCookie cookie(std::string name, std::string value, std::string domain = ".x.ai",
                               std::optional<double> expires = std::nullopt) {
    ports::WebCookie c;
    c.name = std::move(name);
    c.value = std::move(value);
    c.domain = std::move(domain);
    c.expires = expires;
    return c;
}

inline void useLocale(AppStrings::Locale locale) {
    AppStrings::setLocale(nlohmann::json{{"locale", locale == AppStrings::Locale::en ? "en" : "vi"}},
                          sim::SimSystemLanguages());
}

inline sim::HttpBehaviour tokenAnswer(const std::string& token) {
    return sim::HttpBehaviour::reply(200, nlohmann::json{{"access_token", token}}.dump(),
                                     {{"Content-Type", "application/json"}});
}

inline sim::HttpRoute route(ports::HttpMethod method, std::string path, std::vector<sim::HttpBehaviour> behaviours) {
    return sim::HttpRoute{method, std::move(path), std::nullopt, std::move(behaviours)};
}

/// A signed-in console account whose token endpoint hands out "t1", "t2", ... "t20" in turn.
class GrokAccountTest : public ::testing::Test {
protected:
    GrokAccountTest() {
        http.attach(console);
        cookies.setFromPage(cookie("sso", "session-1", ".x.ai"));
        cookies.setFromPage(cookie("sso-rw", "rw-1", "console.x.ai"));
        console.secrets().addSecret("session-1");
        std::vector<sim::HttpBehaviour> tokens;
        for (int i = 1; i <= 20; ++i) tokens.push_back(tokenAnswer("t" + std::to_string(i)));
        console.route(route(ports::HttpMethod::post, "/v1/dpop/token", std::move(tokens)));
        speaker = std::make_unique<GrokSpeaker>(
            GrokSpeaker::Services{loop.main(), http, cookies, prefs, consoleConfig()});
    }
    ~GrokAccountTest() override { useLocale(AppStrings::Locale::vi); }

    std::size_t tokenRequests() { return console.requestsTo("/v1/dpop/token").size(); }

    rt::VirtualLoop loop;
    sim::SimHttpServer console{kConsole};
    sim::SimHttpClient http{loop.lane("network")};
    sim::SimCookieStore cookies{loop.main()};
    sim::SimPreferences prefs;
    std::unique_ptr<GrokSpeaker> speaker;
};

}  // namespace veska::testing
