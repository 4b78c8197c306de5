// Whole readings over real sockets and real speakers: the libcurl client, the fake speech
// endpoint, the PulseAudio speakers of a private daemon.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <nlohmann/json.hpp>

#include "core/ui/AppStrings.h"
#include "core/voice/GrokSpeaker.h"
#include "integration/audioplayer/PulseRig.h"
#include "platform/linux/audioplayer/PulseAudioPlayer.h"
#include "runtime/RunLoop.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "platform/sim/SimActivityAssertion.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimPreferences.h"
#include "platform/sim/SimSystemLanguages.h"
#include "support/FakeService.h"

namespace veska::platform {
namespace {

struct Outcome {
    int starts = 0;
    bool finished = false;
    std::optional<GrokSpeakError> error;
};

class ReadingThroughCurl : public ::testing::Test {
protected:
    void SetUp() override {
        if (sharedDaemon().server().empty()) GTEST_SKIP() << "no PulseAudio daemon could be started";
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        fake_ = std::make_unique<testing::FakeService>("xai-speech");
        ports::WebCookie sso;
        sso.name = "sso";
        sso.value = "session-1";
        sso.domain = ".x.ai";
        cookies_.setFromPage(sso);
        ServiceConfig config = ServiceConfig::defaults();
        config.urls[static_cast<std::size_t>(Service::xaiConsole)] = fake_->baseUrl();
        config.urls[static_cast<std::size_t>(Service::xaiAPI)] = "https://eu-west-1.api.x.test";
        speakers_ = std::make_unique<PulseAudioPlayer>(sharedDaemon().server());
        speaker_ = std::make_unique<GrokSpeaker>(
            GrokSpeaker::Services{loop_, http_, cookies_, prefs_, config, speakers_.get(), &activity_});
        AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, sim::SimSystemLanguages());
    }
    void TearDown() override {
        speaker_.reset();
        AppStrings::setLocale(nlohmann::json{{"locale", "vi"}}, sim::SimSystemLanguages());
    }

    void script(const nlohmann::json& answers) {
        ASSERT_EQ(fake_->post("/__fake/script", nlohmann::json{{"answers", answers}}.dump()).status, 200);
    }
    /// The speech requests the fake saw.
    std::vector<nlohmann::json> speechRequests() {
        std::vector<nlohmann::json> out;
        const nlohmann::json all = nlohmann::json::parse(fake_->get("/__fake/requests").body);
        for (const auto& request : all["requests"]) {
            if (request["path"] == "/v1/tts") out.push_back(request);
        }
        return out;
    }
    std::shared_ptr<Outcome> speak(const std::string& text) {
        auto outcome = std::make_shared<Outcome>();
        speaker_->speak(
            text, "eve", [outcome](bool) { ++outcome->starts; }, [](double) {},
            [outcome](std::optional<GrokSpeakError> error) {
                outcome->finished = true;
                outcome->error = std::move(error);
            });
        return outcome;
    }
    bool finish(const Outcome& outcome) {
        return loop_.runUntil([&] { return outcome.finished; }, 30);
    }

    rt::RunLoop loop_;
    CurlHttpClient http_;
    sim::SimCookieStore cookies_{loop_};
    sim::SimPreferences prefs_;
    sim::SimActivityAssertion activity_;
    std::unique_ptr<testing::FakeService> fake_;
    std::unique_ptr<PulseAudioPlayer> speakers_;
    std::unique_ptr<GrokSpeaker> speaker_;
};

TEST_F(ReadingThroughCurl, AWholeReadingIsHeardPartByPart) {
    SinkRecorder recorder(sharedDaemon().server());
    ASSERT_TRUE(loop_.runUntil([&] { return recorder.size() > 2400; }, 10));
    // 151 + 201 characters: two parts, 100 samples of speech per character, 1.47 s in all.
    const std::string text = std::string(150, 'a') + ". " + std::string(200, 'b') + ".";
    const double begin = loop_.now();
    auto outcome = speak(text);
    ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(outcome->error, std::nullopt);
    EXPECT_EQ(outcome->starts, 1);
    EXPECT_GE(loop_.now() - begin, 1.4) << "the reading ends when its sound has been heard";
    loop_.runFor(0.3);
    EXPECT_NEAR(loudSeconds(recorder.samples()), 1.47, 0.2);

    const auto requests = speechRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_TRUE(request["problems"].empty()) << request["problems"].dump();
        EXPECT_EQ(request["outcome"], "completed");
        EXPECT_EQ(request["headers"]["x-cluster"], "https://eu-west-1.api.x.test");
    }
    EXPECT_EQ(nlohmann::json::parse(requests[0]["body"].get<std::string>())["optimize_streaming_latency"], 1);
    EXPECT_EQ(nlohmann::json::parse(requests[1]["body"].get<std::string>())["optimize_streaming_latency"], 0);

    auto again = speak(text);
    ASSERT_TRUE(finish(*again));
    EXPECT_EQ(again->error, std::nullopt);
    EXPECT_EQ(speechRequests().size(), 2u) << "the second reading came from the cache";
}

TEST_F(ReadingThroughCurl, FailuresOverTheWireEndTheReadingAsTheyShould) {
    struct Row {
        const char* what;
        nlohmann::json answers;
        std::optional<GrokSpeakError> error;
        std::size_t requests;
    };
    const std::vector<Row> rows = {
        {"401 twice", {{{"status", 401}}, {{"status", 401}}}, GrokSpeakError::signedOut(), 2},
        {"403 then speech", {{{"status", 403}}, nlohmann::json::object()}, std::nullopt, 2},
        {"429", {{{"status", 429}}}, GrokSpeakError::failed("Grok is rate-limiting — try later"), 1},
        {"500", {{{"status", 500}}}, GrokSpeakError::failed("Grok couldn't read this"), 1},
        {"dropped before any audio", {{{"dropAfter", 0}}}, GrokSpeakError::unreachable(), 1},
        {"dropped after some audio", {{{"dropAfter", 2}, {"samples", 24000}}}, std::nullopt, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(fake_->post("/__fake/reset", "{}").status, 200);
        script(row.answers);
        auto outcome = speak(std::string("Reading number ") + row.what + ".");
        ASSERT_TRUE(finish(*outcome));
        EXPECT_EQ(outcome->error, row.error);
        EXPECT_EQ(speechRequests().size(), row.requests);
        EXPECT_EQ(activity_.held(), 0);
    }
    // The reading cut after some audio played what came and was not kept.
    ASSERT_EQ(fake_->post("/__fake/reset", "{}").status, 200);
    auto again = speak("Reading number dropped after some audio.");
    ASSERT_TRUE(finish(*again));
    EXPECT_EQ(speechRequests().size(), 1u);
}

TEST_F(ReadingThroughCurl, AStopEndsTheTransferAndReportsNothing) {
    script({{{"samples", 240000}, {"gapMs", 50}, {"pieceBytes", 4800}}});  // 10 s, sent over 5 s
    auto outcome = speak("A long reading.");
    ASSERT_TRUE(loop_.runUntil([&] { return outcome->starts == 1; }, 10));
    loop_.runFor(0.3);
    speaker_->stop();
    loop_.runFor(1.0);
    EXPECT_FALSE(outcome->finished);
    const auto requests = speechRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["outcome"], "aborted");
    EXPECT_LT(requests[0]["bytesSent"].get<int>(), 480000);
}

}  // namespace
}  // namespace veska::platform
