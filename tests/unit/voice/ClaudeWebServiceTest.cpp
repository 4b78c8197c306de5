// The controller's ClaudeWeb over the voice session and ClaudeSession.
#include "core/voice/ClaudeWebService.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimSystemLanguages.h"
#include "unit/voice/VoiceRig.h"

namespace veska::voicetest {
namespace {

struct WebRig : VoiceRig {
    sim::SimCookieStore store{loop.lane("web")};
    WebCookieJar jar{store};
    sim::SimHttpServer site{"https://claude.test"};
    sim::SimHttpClient http{loop.lane("network")};
    sim::SimSystemLanguages languages{{"en_GB"}};
    ClaudeSession claudeSession{ClaudeSessionServices{loop.main(), jar, http, languages, "https://claude.test"}};
    ClaudeWebService web{ClaudeVoiceServices{loop.main(), loop.lane("veska.claude-voice"), mic, client, "https://claude.test"},
                         claudeSession, "claude.test"};

    WebRig() { http.attach(site); }
};

TEST(ClaudeWebService, ADictationThroughTheControllersInterface) {
    WebRig rig;
    rig.store.setFromPage({"sessionKey", "sk", ".claude.test", "/", std::nullopt, true, true});
    rig.endpoint(WsBehaviour::accept({WsStep::text(0.1, transcript("TranscriptText", "chào"))}));
    auto stream = rig.web.makeVoiceSession();
    std::vector<std::string> texts;
    std::vector<double> levels;
    stream->onText = [&](const std::string& text) { texts.push_back(text); };
    stream->onLevel = [&](double level) { levels.push_back(level); };
    EXPECT_EQ(rig.loop.run(stream->startMic()), std::nullopt);
    auto credentials = rig.loop.run(rig.web.credentials());
    ASSERT_TRUE(credentials);
    EXPECT_EQ(credentials->cookieHeader, "sessionKey=sk");
    stream->connect(credentials->cookieHeader, credentials->organization, rig.web.dictationLanguage());
    rig.loop.runFor(1.0);
    EXPECT_NE(rig.connection().query.find("language=en-GB"), std::string::npos);
    auto result = rig.loop.run(stream->finish());
    EXPECT_EQ(result.text, "chào");
    EXPECT_EQ(result.error, std::nullopt);
    EXPECT_EQ(texts, std::vector<std::string>{"chào"});
    EXPECT_FALSE(levels.empty());
}

TEST(ClaudeWebService, MicrophoneFailureAndCancelAreReportedAsTheControllerExpects) {
    WebRig rig;
    rig.mic.setDevice(std::nullopt);
    auto failing = rig.web.makeVoiceSession();
    EXPECT_EQ(rig.loop.run(failing->startMic()), ClaudeVoiceError::noMic);

    rig.mic.setDevice(ports::AudioFormat{16000, 1, ports::SampleType::float32});
    auto stream = rig.web.makeVoiceSession();
    int callbacks = 0;
    stream->onFailure = [&](ClaudeVoiceError) { ++callbacks; };
    stream->onLevel = [&](double) { ++callbacks; };
    rig.loop.run(stream->startMic());
    stream->failBeforeConnect(ClaudeVoiceError::needLogin);
    stream->cancel();
    rig.loop.runFor(2.0);
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(rig.loop.run(stream->finish()).error, ClaudeVoiceError::needLogin);
}

TEST(ClaudeWebService, AccountsMapOntoTheControllersAccount) {
    WebRig rig;
    EXPECT_EQ(rig.loop.run(rig.web.checkAccount()), ClaudeAccount::signedOut());
    rig.store.setFromPage({"sessionKey", "sk", ".claude.test", "/", std::nullopt, true, true});
    rig.site.route({ports::HttpMethod::get, "/api/account", std::nullopt,
                    {sim::HttpBehaviour::reply(200, R"({"email_address":"me@x.vn"})"),
                     sim::HttpBehaviour::reply(200, R"({})"), sim::HttpBehaviour::reply(502, "")}});
    EXPECT_EQ(rig.loop.run(rig.web.checkAccount()), ClaudeAccount::signedIn("me@x.vn"));
    EXPECT_EQ(rig.loop.run(rig.web.checkAccount()), ClaudeAccount::signedIn(""));
    EXPECT_EQ(rig.loop.run(rig.web.checkAccount()), ClaudeAccount::unknown());
    EXPECT_EQ(rig.web.displayName(), "claude.test");
}

}  // namespace
}  // namespace veska::voicetest
