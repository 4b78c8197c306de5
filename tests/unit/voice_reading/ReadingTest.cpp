// Reading aloud: the requests of each part, the sound, and how every failure ends a reading.
#include "unit/voice_reading/ReadingRig.h"

namespace veska::reading {
namespace {

/// Two sentences: the first part holds the first one (a sentence end past a third of 240).
const std::string kFirst = std::string(150, 'a') + ".";
const std::string kSecond = std::string(200, 'b') + ".";
const std::string kTwoParts = kFirst + " " + kSecond;

class Reading : public ReadingTest {};

TEST_F(Reading, PlaysEachPartAsItStreamsAndFinishesOnceHeard) {
    const std::string one = ramp(24000);  // 1 s
    const std::string two = ramp(12000, -500);
    answerSpeech({audio(one, 4801), audio(two, 333)});
    auto outcome = speak(kTwoParts, "ara");
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, std::nullopt);
    EXPECT_EQ(outcome->starts, 1);
    EXPECT_FALSE(outcome->levels.empty());
    EXPECT_EQ(outcome->levels.back(), 0.0) << "the level falls to 0 after the last buffer";

    // Every sample was played, in order, the odd-sized pieces reassembled.
    ASSERT_EQ(speakers.heard().size(), 36000u);
    const std::string both = one + two;
    for (std::size_t i = 0; i < 36000; i += 997) {
        const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(
            static_cast<std::uint8_t>(both[2 * i]) | (static_cast<std::uint8_t>(both[2 * i + 1]) << 8)));
        ASSERT_FLOAT_EQ(speakers.heard()[i], static_cast<float>(sample) / 32768.0F) << i;
    }

    const auto requests = speechRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto body = nlohmann::json::parse(requests[i].body);
        EXPECT_EQ(body["text"], i == 0 ? kFirst : kSecond);
        EXPECT_EQ(body["voice_id"], "ara");
        EXPECT_EQ(body["output_format"], (nlohmann::json{{"codec", "pcm"}, {"sample_rate", 24000}}));
        EXPECT_EQ(body["language"], "auto");
        EXPECT_EQ(body["speed"], 1);
        EXPECT_EQ(body["optimize_streaming_latency"], i == 0 ? 1 : 0);
        EXPECT_EQ(body["text_normalization"], true);
        EXPECT_EQ(body.size(), 7u);
        const auto& headers = requests[i].headers;
        EXPECT_EQ(headers.value("x-cluster"), kApi);
        EXPECT_EQ(headers.value("authorization"), "DPoP t1") << "the token is reused";
        EXPECT_TRUE(headers.contains("dpop"));
        EXPECT_EQ(headers.value("content-type"), "application/json");
        EXPECT_EQ(headers.value("Cookie"), "sso=session-1");
        EXPECT_EQ(requests[i].url, std::string(kConsole) + kSpeech);
    }
    EXPECT_GT(requests[1].at, requests[0].endedAt - 1e-9) << "parts are fetched one after another";
    EXPECT_EQ(activity.held(), 0);
    EXPECT_EQ(activity.reasons(), std::vector<std::string>{"Reading text aloud"});
}

TEST_F(Reading, HoldsTheActivityOnlyWhileReading) {
    answerSpeech({audio(ramp(48000))});
    auto outcome = speak("Hello.");
    loop.runFor(0.5);
    EXPECT_EQ(activity.held(), 1);
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(activity.held(), 0);
}

TEST_F(Reading, SoundStartsWhenTheFirstAudioArrives) {
    sim::HttpBehaviour slow = audio(ramp(2400));
    slow.headDelaySeconds = 2;
    answerSpeech({slow});
    auto outcome = speak("Hello.");
    loop.runFor(1.9);
    EXPECT_EQ(outcome->starts, 0);
    loop.runFor(0.2);
    EXPECT_EQ(outcome->starts, 1);
    ASSERT_TRUE(finish(*outcome));
}

TEST_F(Reading, EveryFailureBeforeAnyAudioEndsTheReadingAsItShould) {
    const GrokSpeakError couldNotRead = GrokSpeakError::failed("Grok couldn't read this");
    const GrokSpeakError rateLimited = GrokSpeakError::failed("Grok is rate-limiting — try later");
    sim::HttpBehaviour droppedAtOnce = sim::HttpBehaviour::stream(200, {});
    droppedAtOnce.ending = sim::HttpEnding::drop;
    struct Row {
        const char* what;
        std::vector<sim::HttpBehaviour> answers;
        std::optional<GrokSpeakError> error;
        std::size_t requests;
        std::size_t tokens;
    };
    const std::vector<Row> rows = {
        {"401 twice", {refusal(401)}, GrokSpeakError::signedOut(), 2, 2},
        {"403 twice", {refusal(403)}, GrokSpeakError::signedOut(), 2, 2},
        {"401 then 403", {refusal(401), refusal(403)}, GrokSpeakError::signedOut(), 2, 2},
        {"403 then audio", {refusal(403), audio(ramp(2400))}, std::nullopt, 2, 2},
        {"429", {refusal(429)}, rateLimited, 1, 1},
        {"500", {refusal(500)}, couldNotRead, 1, 1},
        {"404", {refusal(404)}, couldNotRead, 1, 1},
        {"204 without audio", {sim::HttpBehaviour::reply(204, "")}, couldNotRead, 1, 1},
        {"200 without audio", {sim::HttpBehaviour::reply(200, "")}, std::nullopt, 1, 1},
        {"connection refused", {sim::HttpBehaviour::failing(sim::HttpOpening::refuse)}, GrokSpeakError::unreachable(), 1, 1},
        {"dropped before the head", {sim::HttpBehaviour::failing(sim::HttpOpening::drop, 0.5)}, GrokSpeakError::unreachable(), 1, 1},
        {"200 dropped before any audio", {droppedAtOnce}, GrokSpeakError::unreachable(), 1, 1},
        {"not HTTP", {sim::HttpBehaviour::failing(sim::HttpOpening::malformed)}, GrokSpeakError::unreachable(), 1, 1},
    };
    english();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        console.clearRequests();
        routeTokens();
        useSpeakers(speakers);
        answerSpeech(row.answers);
        auto outcome = speak("Hello there.");
        ASSERT_TRUE(finish(*outcome));
        EXPECT_EQ(outcome->error, row.error);
        EXPECT_EQ(speechRequests().size(), row.requests);
        EXPECT_EQ(tokenRequests(), row.tokens) << "a retry forces a new token";
        if (row.requests == 2) EXPECT_EQ(speechRequests()[1].headers.value("authorization"), "DPoP t2");
        EXPECT_EQ(activity.held(), 0);
        EXPECT_EQ(speaker->player(), nullptr) << "everything released";
        if (row.error) EXPECT_TRUE(speaker->cacheKeys().empty()) << "a failed reading is not kept";
    }
}

TEST_F(Reading, MessagesFollowTheInterfaceLanguage) {
    answerSpeech({refusal(500)});
    auto outcome = speak("Xin chào.");
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, GrokSpeakError::failed("Grok không đọc được đoạn này"));
    speakers.setFailure(ports::AudioErrorKind::failed);
    outcome = speak("Xin chào.");
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, GrokSpeakError::failed("Không phát được âm thanh"));
}

TEST_F(Reading, WithoutAConsoleSessionTheReadingIsSignedOut) {
    ports::WebCookie sso;
    sso.name = "sso";
    sso.domain = ".x.ai";
    cookies.deleteFromPage(sso);
    answerSpeech({audio(ramp(2400))});
    auto outcome = speak("Hello.");
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, GrokSpeakError::signedOut());
    EXPECT_TRUE(speechRequests().empty());
}

TEST_F(Reading, ARetryHappensOncePerPartAndOnlyBeforeItsAudio) {
    // Part one: 401, then audio. Part two: 401 again (a fresh part may retry), then audio.
    answerSpeech({refusal(401), audio(ramp(2400)), refusal(401), audio(ramp(2400))});
    auto outcome = speak(kTwoParts);
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, std::nullopt);
    EXPECT_EQ(speechRequests().size(), 4u);
    EXPECT_EQ(speakers.heard().size(), 4800u);
}

TEST_F(Reading, APartThatFailsAfterSomeAudioCountsAsDoneAndTheReadingIsNotCached) {
    sim::HttpBehaviour cut = audio(ramp(4800));
    cut.ending = sim::HttpEnding::drop;
    answerSpeech({cut, audio(ramp(2400))});
    auto outcome = speak(kTwoParts);
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, std::nullopt);
    EXPECT_EQ(speechRequests().size(), 2u);
    EXPECT_EQ(speakers.heard().size(), 7200u);
    EXPECT_TRUE(speaker->cacheKeys().empty());
}

TEST_F(Reading, AFollowingPartWithoutAudioEndsTheReadingQuietly) {
    answerSpeech({audio(ramp(2400)), sim::HttpBehaviour::reply(200, "")});
    auto outcome = speak(kTwoParts);
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, std::nullopt);
    EXPECT_EQ(speechRequests().size(), 2u);
}

TEST_F(Reading, TextWithoutWordsFinishesAtOnce) {
    auto outcome = speak(" \n\t\r\n ");
    EXPECT_TRUE(outcome->finished) << "before any await";
    EXPECT_EQ(outcome->error, std::nullopt);
    loop.runFor(1);
    EXPECT_TRUE(speechRequests().empty());
    EXPECT_EQ(speakers.starts(), 0);
    EXPECT_EQ(activity.held(), 0);
}

TEST_F(Reading, AnAudioOutputThatCannotStartFailsTheReading) {
    english();
    speakers.setFailure(ports::AudioErrorKind::noDevice);
    auto outcome = speak("Hello.");
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, GrokSpeakError::failed("Couldn't play audio"));
    EXPECT_TRUE(speechRequests().empty());
    EXPECT_EQ(activity.held(), 0);
}

TEST_F(Reading, TheStoredRateSetsThePaceAndTheCallerMayChangeItMidway) {
    prefs.set("v2.ttsRate", 2.0);
    answerSpeech({audio(ramp(48000), 48000)});  // 2 s of sound
    auto outcome = speak("Hello.");
    loop.runUntil([&] { return outcome->starts == 1; }, 10);
    const double start = loop.main().now();
    loop.runFor(0.5);  // 1 s of sound at 2×
    ASSERT_NE(speaker->player(), nullptr);
    speaker->player()->setRate(1.0);
    ASSERT_TRUE(finish(*outcome));
    EXPECT_NEAR(loop.main().now() - start, 1.5, 0.06);
}

}  // namespace
}  // namespace veska::reading
