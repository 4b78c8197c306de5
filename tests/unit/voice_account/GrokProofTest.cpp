// The account key as a JSON Web Key and the proofs signed with it, checked with OpenSSL.
#include <cmath>

#include "GrokAccountRig.h"
#include "ProofCheck.h"
#include "core/voice/Crypto.h"

namespace veska::testing {
namespace {

class GrokProof : public GrokAccountTest {};

TEST(GrokCrypto, Base64UrlHasNoPaddingAndTheUrlAlphabet) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", ""}, {"f", "Zg"}, {"fo", "Zm8"}, {"foo", "Zm9v"}, {"foob", "Zm9vYg"},
        {std::string("\xfb\xff\xbf", 3), "-_-_"}, {std::string("\0\0", 2), "AAA"},
    };
    for (const auto& [bytes, expected] : rows) EXPECT_EQ(crypto::b64u(bytes), expected);
}

TEST_F(GrokProof, JwkIsTheP256PublicKeyWith43CharacterCoordinates) {
    const auto jwk = speaker->jwk();
    EXPECT_EQ(jwk.size(), 4u);
    EXPECT_EQ(jwk.at("kty"), "EC");
    EXPECT_EQ(jwk.at("crv"), "P-256");
    EXPECT_EQ(jwk.at("x").size(), 43u);
    EXPECT_EQ(jwk.at("y").size(), 43u);
    EXPECT_EQ(speaker->jwk(), jwk) << "one key for the life of the speaker";
}

TEST_F(GrokProof, ProofIsAnES256SignatureOfItsHeaderAndClaimsByTheKey) {
    loop.runFor(12.7);
    const std::string proof = speaker->proof("/v1/tts", "POST", "tok-ñ");
    auto decoded = decodeProof(proof);
    ASSERT_TRUE(decoded.has_value());
    const auto jwk = speaker->jwk();
    EXPECT_EQ(decoded->header, (nlohmann::json{{"typ", "dpop+jwt"}, {"alg", "ES256"}, {"jwk", jwk}}));
    EXPECT_TRUE(verifyES256(jwk.at("x"), jwk.at("y"), decoded->signingInput, decoded->signature));

    const nlohmann::json& claims = decoded->claims;
    EXPECT_EQ(claims.size(), 5u);
    EXPECT_EQ(claims["htm"], "POST");
    EXPECT_EQ(claims["htu"], std::string(kConsole) + "/v1/tts");
    EXPECT_EQ(claims["ath"], crypto::b64u(crypto::sha256("tok-ñ")));
    EXPECT_EQ(claims["iat"], static_cast<std::int64_t>(std::floor(loop.main().wallNow())));
    ASSERT_TRUE(claims["jti"].is_string());
    EXPECT_EQ(fromB64u(claims["jti"].get<std::string>())->size(), 16u);

    std::string tampered = decoded->signingInput;
    tampered.back() = tampered.back() == 'A' ? 'B' : 'A';
    EXPECT_FALSE(verifyES256(jwk.at("x"), jwk.at("y"), tampered, decoded->signature));
}

TEST_F(GrokProof, EveryProofIsFreshAndNamesItsMethodAndExactPath) {
    auto a = decodeProof(speaker->proof("/v1/tts/voices", "GET", "t"));
    auto b = decodeProof(speaker->proof("/v1/tts/voices", "GET", "t"));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->claims["jti"], b->claims["jti"]);
    EXPECT_EQ(a->claims["htm"], "GET");
    EXPECT_EQ(a->claims["htu"], "https://console.x.test/v1/tts/voices");
    EXPECT_EQ(crypto::b64u(crypto::sha256("abc")), "ungWv48Bz-pBQUDeXa4iI7ADYaOWF3qctBD_YfIAFa0");
}

TEST(GrokProofOrigin, TheConsoleOriginDropsAnyPathOfTheBaseURL) {
    rt::VirtualLoop loop;
    sim::SimHttpClient http{loop.lane("network")};
    sim::SimCookieStore cookies{loop.main()};
    sim::SimPreferences prefs;
    ServiceConfig config = consoleConfig();
    config.urls[static_cast<std::size_t>(Service::xaiConsole)] = "http://127.0.0.1:8123/prefix";
    GrokSpeaker speaker(GrokSpeaker::Services{loop.main(), http, cookies, prefs, config});
    EXPECT_EQ(speaker.consoleOrigin(), "http://127.0.0.1:8123");
    EXPECT_EQ(speaker.consoleURL("/v1/tts"), "http://127.0.0.1:8123/prefix/v1/tts");
    EXPECT_EQ(speaker.consoleHeaders("sso=1", false).value("Referer"), "http://127.0.0.1:8123/");
    EXPECT_EQ(GrokSpeaker::shared(), &speaker);
}

}  // namespace
}  // namespace veska::testing
