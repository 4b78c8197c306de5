// Realtime client secrets (one retry after a 401, the rate-limit message) and the voice list.
#include "GrokAccountRig.h"
#include "ProofCheck.h"
#include "core/ai/TranslateError.h"
#include "core/voice/Crypto.h"

namespace veska::testing {
namespace {

using sim::HttpBehaviour;
constexpr char kSecretPath[] = "/v1/realtime/client_secrets";

HttpBehaviour secretAnswer(const std::string& value) {
    return HttpBehaviour::reply(200, nlohmann::json{{"value", value}, {"expires_at", 1}}.dump());
}

class GrokSecret : public GrokAccountTest {
protected:
    void answerSecrets(std::vector<HttpBehaviour> answers) {
        console.route(route(ports::HttpMethod::post, kSecretPath, std::move(answers)));
    }
    tl::expected<std::string, GrokSpeakError> secret() { return loop.run(speaker->realtimeSecret("grok-m")); }
    std::size_t secretRequests() { return console.requestsTo(kSecretPath).size(); }
};

/// The request carries every console header and a proof, for this path, of the token it names.
void expectAuthorised(const sim::RecordedHttpRequest& request, const std::string& token, const char* method,
                      const std::string& path, const std::map<std::string, std::string>& jwk) {
    EXPECT_EQ(request.headers.value("User-Agent"), kBrowserUserAgent);
    EXPECT_EQ(request.headers.value("Origin"), kConsole);
    EXPECT_EQ(request.headers.value("Referer"), std::string(kConsole) + "/");
    EXPECT_EQ(request.headers.value("Cookie"), "sso=session-1; sso-rw=rw-1");
    EXPECT_EQ(request.headers.value("authorization"), "DPoP " + token);
    auto proof = decodeProof(request.headers.value("dpop").value_or(""));
    ASSERT_TRUE(proof.has_value());
    EXPECT_TRUE(verifyES256(jwk.at("x"), jwk.at("y"), proof->signingInput, proof->signature));
    EXPECT_EQ(proof->claims["htm"], method);
    EXPECT_EQ(proof->claims["htu"], std::string(kConsole) + path);
    EXPECT_EQ(proof->claims["ath"], crypto::b64u(crypto::sha256(token)));
}

TEST_F(GrokSecret, SecretRequestIsAuthorisedWithTheTokenAndAProof) {
    answerSecrets({secretAnswer("sec-1")});
    EXPECT_EQ(secret(), "sec-1");
    const auto requests = console.requestsTo(kSecretPath);
    ASSERT_EQ(requests.size(), 1u);
    expectAuthorised(requests[0], "t1", "POST", kSecretPath, speaker->jwk());
    EXPECT_EQ(requests[0].headers.value("content-type"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(requests[0].body), (nlohmann::json{{"session", {{"model", "grok-m"}}}}));
}

TEST_F(GrokSecret, A401FetchesANewTokenAndTriesOnceMore) {
    answerSecrets({HttpBehaviour::reply(401, ""), secretAnswer("sec-2")});
    EXPECT_EQ(secret(), "sec-2");
    EXPECT_EQ(tokenRequests(), 2u);
    const auto requests = console.requestsTo(kSecretPath);
    ASSERT_EQ(requests.size(), 2u);
    expectAuthorised(requests[1], "t2", "POST", kSecretPath, speaker->jwk());

    answerSecrets({HttpBehaviour::reply(401, ""), HttpBehaviour::reply(401, "")});
    EXPECT_EQ(secret(), tl::unexpected(GrokSpeakError::signedOut()));
    EXPECT_EQ(secretRequests(), 4u) << "one retry only";
    EXPECT_EQ(tokenRequests(), 3u) << "the fresh token t2 was reused, then replaced once";
}

TEST_F(GrokSecret, ATokenFailureEndsTheSecretRequest) {
    answerSecrets({HttpBehaviour::reply(401, "")});
    console.route(route(ports::HttpMethod::post, "/v1/dpop/token", {tokenAnswer("t1"), HttpBehaviour::reply(500, "")}));
    EXPECT_EQ(secret(), tl::unexpected(GrokSpeakError::unreachable()));
    EXPECT_EQ(secretRequests(), 1u);

    cookies.deleteFromPage(cookie("sso", "", ".x.ai"));
    EXPECT_EQ(secret(), tl::unexpected(GrokSpeakError::signedOut()));
    EXPECT_EQ(secretRequests(), 1u);
}

TEST_F(GrokSecret, OtherAnswersAreUnreachableOrTheRateLimitMessage) {
    struct Row {
        const char* label;
        HttpBehaviour answer;
        GrokSpeakError expected;
    };
    const std::vector<Row> rows = {
        {"429", HttpBehaviour::reply(429, "slow down"), GrokSpeakError::failed("Grok is rate-limiting — try later")},
        {"403", HttpBehaviour::reply(403, "{}", {{"Content-Type", "application/json"}}), GrokSpeakError::unreachable()},
        {"500", HttpBehaviour::reply(500, ""), GrokSpeakError::unreachable()},
        {"empty value", secretAnswer(""), GrokSpeakError::unreachable()},
        {"nested value", HttpBehaviour::reply(200, R"({"client_secret":{"value":"x"}})"), GrokSpeakError::unreachable()},
        {"array", HttpBehaviour::reply(200, R"(["x"])"), GrokSpeakError::unreachable()},
        {"dropped", HttpBehaviour::failing(sim::HttpOpening::drop), GrokSpeakError::unreachable()},
    };
    useLocale(AppStrings::Locale::en);
    for (const Row& row : rows) {
        answerSecrets({row.answer});
        EXPECT_EQ(secret(), tl::unexpected(row.expected)) << row.label;
    }
    useLocale(AppStrings::Locale::vi);
    answerSecrets({HttpBehaviour::reply(429, "")});
    EXPECT_EQ(secret(), tl::unexpected(GrokSpeakError::failed("Grok đang giới hạn — thử lại sau")));
}

TEST_F(GrokSecret, TheTextSessionSeesSignedOutOrUnreachable) {
    struct Row {
        HttpBehaviour answer;
        TranslateError expected;
    };
    const std::vector<Row> rows = {
        {HttpBehaviour::reply(401, ""), TranslateError::signedOut()},
        {HttpBehaviour::reply(429, ""), TranslateError::unreachable()},
        {HttpBehaviour::reply(502, ""), TranslateError::unreachable()},
    };
    for (const Row& row : rows) {
        answerSecrets({row.answer});
        std::optional<TranslateError> error;
        try {
            loop.run(speaker->textSessionSecret("grok-m"));
        } catch (const TranslateError& e) {
            error = e;
        }
        EXPECT_EQ(error, row.expected);
    }
    answerSecrets({secretAnswer("ok")});
    EXPECT_EQ(loop.run(speaker->textSessionSecret("grok-m")), "ok");
}

class GrokVoices : public GrokAccountTest {
protected:
    std::vector<GrokSession::Voice> voices() { return loop.run(speaker->voices()); }
};

TEST_F(GrokVoices, VoicesComeFromTheConsoleWithNamesOrCapitalisedIds) {
    console.route(route(ports::HttpMethod::get, "/v1/tts/voices",
                        {HttpBehaviour::reply(404, R"({"voices":[{"voice_id":"sal"},{"voice_id":"ara","name":"Ara Sky"},
                            {"name":"no id"},"eve",{"voice_id":7},{"voice_id":"old MAN"},{"voice_id":"élan","name":5}]})")}));
    const std::vector<GrokSession::Voice> expected = {
        {"sal", "Sal"}, {"ara", "Ara Sky"}, {"old MAN", "Old Man"}, {"élan", "Élan"}};
    EXPECT_EQ(voices(), expected) << "the status is not looked at";
    const auto requests = console.requestsTo("/v1/tts/voices");
    ASSERT_EQ(requests.size(), 1u);
    expectAuthorised(requests[0], "t1", "GET", "/v1/tts/voices", speaker->jwk());
    EXPECT_FALSE(requests[0].headers.contains("content-type"));
}

TEST_F(GrokVoices, AnythingElseGivesTheDefaultVoices) {
    const std::vector<std::pair<const char*, HttpBehaviour>> rows = {
        {"empty list", HttpBehaviour::reply(200, R"({"voices":[]})")},
        {"no usable element", HttpBehaviour::reply(200, R"({"voices":[{"id":"x"}]})")},
        {"not a list", HttpBehaviour::reply(200, R"({"voices":{"voice_id":"x"}})")},
        {"not json", HttpBehaviour::reply(200, "<html>")},
        {"a bare list", HttpBehaviour::reply(200, R"([{"voice_id":"x"}])")},
        {"dropped", HttpBehaviour::failing(sim::HttpOpening::drop)},
    };
    for (const auto& [label, answer] : rows) {
        console.route(route(ports::HttpMethod::get, "/v1/tts/voices", {answer}));
        EXPECT_EQ(voices(), GrokSession::defaultVoices()) << label;
    }
    cookies.deleteFromPage(cookie("sso", "", ".x.ai"));
    EXPECT_EQ(voices(), GrokSession::defaultVoices()) << "signed out";
}

}  // namespace
}  // namespace veska::testing
