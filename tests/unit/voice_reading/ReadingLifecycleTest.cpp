// Stopping, replacing and pausing readings: late events of an old reading change nothing.
#include "unit/voice_reading/ReadingRig.h"

namespace veska::reading {
namespace {

class ReadingLifecycle : public ReadingTest {};

TEST_F(ReadingLifecycle, AStopWhileAPartDownloadsSilencesEverythingLateAndReportsNothing) {
    std::vector<sim::HttpPiece> pieces;
    for (int i = 0; i < 50; ++i) pieces.push_back({0.1, ramp(2400)});  // 5 s of sound over 5 s
    answerSpeech({sim::HttpBehaviour::stream(200, pieces)});
    auto outcome = speak("Hello there.");
    loop.runFor(1.0);
    ASSERT_EQ(outcome->starts, 1);
    const std::uint64_t job = speaker->jobID();
    speaker->stop();
    EXPECT_GT(speaker->jobID(), job);
    const std::size_t heard = speakers.heard().size();
    const std::size_t levels = outcome->levels.size();

    // Late events of the stopped reading, as the network and the player might still send them.
    speaker->receive(job, ramp(2400));
    speaker->partDone(job, 200, std::nullopt);
    speaker->partDone(job, 401, std::nullopt);
    loop.runFor(10);
    EXPECT_FALSE(outcome->finished);
    EXPECT_EQ(speakers.heard().size(), heard);
    EXPECT_EQ(outcome->levels.size(), levels);
    EXPECT_EQ(speechRequests().size(), 1u) << "no retry either";
    EXPECT_EQ(speechRequests()[0].state, sim::HttpExchangeState::cancelled);
    EXPECT_EQ(activity.held(), 0);
    EXPECT_FALSE(speaker->reading());
    EXPECT_TRUE(speaker->cacheKeys().empty());
}

TEST_F(ReadingLifecycle, ANewReadingReplacesTheOldOneWhichNeverFinishes) {
    std::vector<sim::HttpPiece> pieces;
    for (int i = 0; i < 30; ++i) pieces.push_back({0.1, ramp(2400)});
    answerSpeech({sim::HttpBehaviour::stream(200, pieces), audio(ramp(4800))});
    auto old = speak("First text.");
    loop.runFor(0.5);
    auto fresh = speak("Second text.");
    ASSERT_TRUE(finish(*fresh));
    loop.runFor(10);
    EXPECT_FALSE(old->finished);
    EXPECT_EQ(fresh->error, std::nullopt);
    EXPECT_EQ(speaker->cacheKeys(), std::vector<std::string>{"eve\x01Second text."});
}

TEST_F(ReadingLifecycle, AStopDuringTheStartOfTheOutputReportsNothing) {
    answerSpeech({audio(ramp(2400))});
    auto outcome = speak("Hello.");
    speaker->stop();  // before the output has opened
    loop.runFor(5);
    EXPECT_FALSE(outcome->finished);
    EXPECT_TRUE(speechRequests().empty());
    EXPECT_EQ(activity.held(), 0);
}

TEST_F(ReadingLifecycle, StopAndReleaseAreSafeWithNothingInProgress) {
    const std::uint64_t job = speaker->jobID();
    speaker->stop();
    speaker->release();
    EXPECT_EQ(speaker->jobID(), job) << "a stop with no reading leaves the counter";
    EXPECT_FALSE(speaker->togglePause());
}

TEST_F(ReadingLifecycle, PauseHoldsTheSoundAndResumeFinishesTheReading) {
    answerSpeech({audio(ramp(24000), 48000)});  // 1 s
    auto outcome = speak("Hello.");
    loop.runUntil([&] { return outcome->starts == 1; }, 10);
    loop.runFor(0.3);
    EXPECT_TRUE(speaker->togglePause());
    const std::size_t heard = speakers.heard().size();
    loop.runFor(30);
    EXPECT_EQ(speakers.heard().size(), heard);
    EXPECT_FALSE(outcome->finished);
    EXPECT_FALSE(speaker->togglePause());
    loop.runFor(0.75);
    EXPECT_TRUE(outcome->finished);
    EXPECT_EQ(outcome->error, std::nullopt);
    EXPECT_FALSE(speaker->togglePause()) << "no player once finished";
}

TEST_F(ReadingLifecycle, ACallbackMayStartTheNextReading) {
    answerSpeech({audio(ramp(2400))});
    auto second = std::make_shared<Outcome>();
    speaker->speak(
        "One.", "eve", [](bool) {}, [](double) {},
        [&](std::optional<GrokSpeakError>) {
            speaker->speak(
                "Two.", "eve", [](bool) {}, [](double) {},
                [second](std::optional<GrokSpeakError> error) {
                    second->finished = true;
                    second->error = std::move(error);
                });
        });
    ASSERT_TRUE(finish(*second));
    EXPECT_EQ(speechRequests().size(), 2u);
    EXPECT_EQ(speaker->cacheKeys().size(), 2u);
}

}  // namespace
}  // namespace veska::reading
