// The cache of finished readings: hits, misses, eviction at 64 MiB, and the paced replay.
#include <algorithm>

#include "unit/voice_reading/ReadingRig.h"
#include "runtime/Sleep.h"

namespace veska::reading {
namespace {

/// Speakers that hear each buffer at once and keep only a count: for readings of tens of
/// megabytes.
class InstantSpeakers final : public ports::AudioPlayer {
public:
    std::size_t heard = 0;

    rt::Task<std::unique_ptr<ports::AudioPlayback>> start(ports::AudioFormat format, double rate) override {
        rt::Executor& executor = co_await rt::currentExecutor();
        co_return std::make_unique<Playback>(executor, format, rate, &heard);
    }

private:
    class Playback final : public ports::AudioPlayback {
    public:
        Playback(rt::Executor& executor, ports::AudioFormat format, double rate, std::size_t* heard)
            : executor_(executor), format_(format), rate_(rate), heard_(heard) {}
        ports::AudioFormat format() const override { return format_; }
        bool schedule(std::vector<float> samples, std::function<void()> onPlayed) override {
            if (*stopped_) return false;
            ++pending_;
            *heard_ += samples.size();
            executor_.post([this, stopped = stopped_, fn = std::move(onPlayed)] {
                if (*stopped) return;
                --pending_;
                fn();
            });
            return true;
        }
        void setRate(double rate) override { rate_ = rate; }
        double rate() const override { return rate_; }
        void pause() override {}
        void resume() override {}
        bool paused() const override { return false; }
        void setVolume(double /*volume*/) override {}
        void stop() override { *stopped_ = true; }
        std::size_t pending() const override { return pending_; }
        ~Playback() override { stop(); }
        Playback(const Playback&) = delete;
        Playback& operator=(const Playback&) = delete;

    private:
        rt::Executor& executor_;
        ports::AudioFormat format_;
        double rate_;
        std::size_t* heard_;
        std::size_t pending_ = 0;
        std::shared_ptr<bool> stopped_ = std::make_shared<bool>(false);
    };
};

class ReadingCache : public ReadingTest {};

TEST_F(ReadingCache, TheSameTextAndVoiceReplayWithoutARequest) {
    answerSpeech({audio(ramp(24000))});
    auto first = speak("Hello there.");
    ASSERT_TRUE(finish(*first));
    auto other = speak("Another text.");
    ASSERT_TRUE(finish(*other));
    EXPECT_EQ(speaker->cacheKeys(), (std::vector<std::string>{"eve\x01Hello there.", "eve\x01" "Another text."}));
    const std::size_t requests = speechRequests().size();

    // Only the normalised parts make the key: spacing and blank lines do not matter.
    auto again = speak("  Hello there.\r\n\n");
    ASSERT_TRUE(finish(*again));
    EXPECT_EQ(again->error, std::nullopt);
    EXPECT_EQ(speechRequests().size(), requests);
    EXPECT_EQ(again->starts, 0) << "a replay makes no request, so no first audio of a request";
    EXPECT_FALSE(again->levels.empty());
    EXPECT_EQ(speakers.heard().size(), 3u * 24000);
    EXPECT_TRUE(std::equal(speakers.heard().begin(), speakers.heard().begin() + 24000,
                           speakers.heard().begin() + 48000));
    EXPECT_EQ(speaker->cacheKeys(), (std::vector<std::string>{"eve\x01" "Another text.", "eve\x01Hello there."}))
        << "the hit became the newest";

    auto otherVoice = speak("Hello there.", "leo");
    ASSERT_TRUE(finish(*otherVoice));
    EXPECT_EQ(speechRequests().size(), requests + 1);
    EXPECT_EQ(speaker->cacheKeys().size(), 3u);
}

TEST_F(ReadingCache, ReplaysInOneSecondSlicesAtMostThreeSecondsAhead) {
    answerSpeech({audio(ramp(240000), 48000)});  // 10 s
    auto first = speak("Hello there.");
    ASSERT_TRUE(finish(*first));
    const std::size_t heardBefore = speakers.heard().size();

    std::size_t mostPending = 0;
    auto replay = std::make_shared<Outcome>();
    speaker->speak(
        "Hello there.", "eve", [](bool) {},
        [&](double) {
            if (speaker->player() != nullptr) mostPending = std::max(mostPending, speaker->player()->pending());
        },
        [&, replay](std::optional<GrokSpeakError> error) {
            replay->finished = true;
            replay->error = std::move(error);
        });
    loop.runUntilIdle();
    ASSERT_NE(speaker->player(), nullptr);
    EXPECT_EQ(speaker->player()->pending(), 60u) << "three slices of 20 buffers, then a wait";
    const double start = loop.main().now();
    ASSERT_TRUE(finish(*replay));
    EXPECT_NEAR(loop.main().now() - start, 10.0, 1e-6) << "paced feeding never starves the speakers";
    EXPECT_LE(mostPending, 80u) << "a slice is added only below 60 queued buffers";
    EXPECT_EQ(speakers.heard().size() - heardBefore, 240000u);
    EXPECT_EQ(speechRequests().size(), 1u);
}

TEST_F(ReadingCache, StoppingAReplayStopsItsFeeding) {
    answerSpeech({audio(ramp(240000), 48000)});
    auto first = speak("Hello there.");
    ASSERT_TRUE(finish(*first));
    const std::size_t heardBefore = speakers.heard().size();
    auto replay = speak("Hello there.");
    loop.runFor(1.0);
    speaker->stop();
    loop.runFor(20);
    EXPECT_FALSE(replay->finished);
    EXPECT_NEAR(static_cast<double>(speakers.heard().size() - heardBefore), 24000.0, 1200.0);
}

TEST_F(ReadingCache, KeepsAtMostSixtyFourMebibytes) {
    // The audio goes straight to `receive`, as the request would hand it over, so that
    // hundreds of megabytes are not copied through the simulated network.
    InstantSpeakers instant;
    useSpeakers(instant);
    sim::HttpBehaviour silent = sim::HttpBehaviour::stream(200, {});
    silent.ending = sim::HttpEnding::hang;
    answerSpeech({silent});
    constexpr std::size_t kMiB = std::size_t{1024} * 1024;
    const std::string audio(64 * kMiB + 2, '\x10');
    struct Row {
        std::string text;
        std::size_t bytes;
        std::vector<std::string> keysAfter;
    };
    const std::vector<Row> rows = {
        {"A.", 40 * kMiB, {"eve\x01" "A."}},
        {"B.", 20 * kMiB, {"eve\x01" "A.", "eve\x01" "B."}},  // 60 MiB in all
        {"C.", 10 * kMiB, {"eve\x01" "B.", "eve\x01" "C."}},  // 70 MiB: the oldest goes
        {"D.", 64 * kMiB, {"eve\x01" "D."}},                  // exactly the limit: kept alone
        {"E.", 64 * kMiB + 2, {"eve\x01" "D."}},              // too long to record: played, not kept
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::size_t before = instant.heard;
        auto outcome = speak(row.text);
        ASSERT_TRUE(loop.runUntil([&] { return speechRequests().size() == 1; }, 10));
        loop.runFor(0.1);
        const std::uint64_t job = speaker->jobID();
        for (std::size_t at = 0; at < row.bytes; at += 8 * kMiB) {
            speaker->receive(job, std::string_view(audio).substr(at, std::min(8 * kMiB, row.bytes - at)));
        }
        speaker->partDone(job, 200, std::nullopt);
        ASSERT_TRUE(finish(*outcome));
        EXPECT_EQ(outcome->error, std::nullopt);
        EXPECT_EQ(instant.heard - before, row.bytes / 2) << "the whole reading was played";
        EXPECT_EQ(speaker->cacheKeys(), row.keysAfter);
        EXPECT_LE(speaker->cacheBytes(), 64 * kMiB);
        console.clearRequests();
    }
}

}  // namespace
}  // namespace veska::reading
