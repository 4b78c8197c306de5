// The streaming PCM player on the simulated speakers and virtual time.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/voice/PCMStreamPlayer.h"
#include "platform/sim/SimAudioPlayer.h"
#include "runtime/VirtualLoop.h"

namespace veska {
namespace {

/// `samples` as 16-bit little-endian bytes.
std::string pcm(const std::vector<std::int16_t>& samples) {
    std::string out;
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

std::string constantPcm(std::size_t samples, std::int16_t value) {
    return pcm(std::vector<std::int16_t>(samples, value));
}

struct Rig {
    rt::VirtualLoop loop;
    sim::SimAudioPlayer speakers{loop.lane("audio")};
    std::shared_ptr<PCMStreamPlayer> player = std::make_shared<PCMStreamPlayer>(speakers);
    std::vector<double> levels;
    int drained = 0;

    Rig() {
        player->onLevel = [this](double level) { levels.push_back(level); };
        player->onDrained = [this] { ++drained; };
    }
    void start(double rate = 1.0) { loop.run(startTask(player, rate)); }
    static rt::Task<void> startTask(std::shared_ptr<PCMStreamPlayer> player, double rate) {
        co_await player->start(rate);
    }
};

TEST(PCMStreamPlayer, ASampleSplitAcrossAppendsIsReassembled) {
    Rig rig;
    rig.start();
    const std::string bytes = pcm({1000, -2, 32767, -32768});
    struct Row {
        std::vector<std::size_t> cuts;  // sizes of the appends
        std::size_t samples;            // heard after all of them
    };
    const std::vector<Row> rows = {
        {{3, 1}, 2},  // the odd carry: 3 bytes then 1 byte play exactly 2 samples
        {{1, 1, 1, 1, 1, 1, 1}, 3},
        {{5, 3}, 4},
        {{8}, 4},
        {{1}, 0},
    };
    for (const auto& row : rows) {
        Rig fresh;
        fresh.start();
        std::size_t at = 0;
        for (std::size_t size : row.cuts) {
            fresh.player->append(std::string_view(bytes).substr(at, size));
            at += size;
        }
        fresh.loop.runFor(1);
        const std::vector<float> expected = {1000 / 32768.0F, -2 / 32768.0F, 32767 / 32768.0F, -1.0F};
        ASSERT_EQ(fresh.speakers.heard().size(), row.samples);
        for (std::size_t i = 0; i < row.samples; ++i) EXPECT_FLOAT_EQ(fresh.speakers.heard()[i], expected[i]);
    }
}

TEST(PCMStreamPlayer, CutsAudioIntoBuffersOfTwelveHundredSamples) {
    Rig rig;
    rig.start();
    rig.player->append(constantPcm(2500, 3000));
    EXPECT_EQ(rig.player->pending(), 3u);
    EXPECT_EQ(rig.player->levels().size(), 3u);
    rig.loop.runFor(0.049);
    EXPECT_EQ(rig.player->pending(), 3u) << "the first buffer lasts 50 ms";
    rig.loop.runFor(0.002);
    EXPECT_EQ(rig.player->pending(), 2u);
    rig.loop.runFor(0.05);
    EXPECT_EQ(rig.player->pending(), 1u);
    rig.loop.runFor(100.0 / 24000.0);
    EXPECT_EQ(rig.player->pending(), 0u) << "the last buffer holds 100 samples";
    EXPECT_EQ(rig.speakers.heard().size(), 2500u);
}

TEST(PCMStreamPlayer, LevelsFollowTheBufferBeingHeard) {
    Rig rig;
    rig.start();
    // Levels: 1.6 × fourth root of the mean square, at most 1.
    const double quiet = 1.6 * std::sqrt(328.0 / 32768.0);  // amplitude 328 → RMS ≈ 0.01
    rig.player->append(constantPcm(1200, 328) + constantPcm(1200, 0) + constantPcm(1200, 16384));
    ASSERT_EQ(rig.levels.size(), 1u) << "the first buffer's level is shown at once";
    EXPECT_NEAR(rig.levels[0], quiet, 1e-9);
    rig.player->append(constantPcm(1200, 328));
    EXPECT_EQ(rig.levels.size(), 1u) << "later buffers wait for their turn";
    rig.loop.runFor(0.21);
    EXPECT_EQ(rig.levels, (std::vector<double>{rig.levels[0], 0.0, 1.0, rig.levels[0], 0.0}));
    EXPECT_NEAR(rig.levels[3], quiet, 1e-9);
    EXPECT_TRUE(rig.player->levels().empty());
}

TEST(PCMStreamPlayer, DrainsOnceAfterTheLastBufferWhenInputIsDone) {
    Rig rig;
    rig.start();
    rig.player->append(constantPcm(2400, 100));
    rig.loop.runFor(1);
    EXPECT_EQ(rig.drained, 0) << "input may still come";
    rig.player->append(constantPcm(1200, 100));
    rig.player->inputDone = true;
    rig.loop.runFor(0.04);
    EXPECT_EQ(rig.drained, 0);
    rig.loop.runFor(0.02);
    EXPECT_EQ(rig.drained, 1);
    EXPECT_TRUE(rig.player->stopped());
    rig.player->drain();
    rig.player->append(constantPcm(1200, 100));
    rig.loop.runFor(1);
    EXPECT_EQ(rig.drained, 1);
    EXPECT_EQ(rig.speakers.heard().size(), 3600u) << "nothing is appended once drained";
}

TEST(PCMStreamPlayer, StopSilencesEverythingAndCallsNothing) {
    Rig rig;
    rig.start();
    rig.player->append(constantPcm(12000, 100));
    rig.player->inputDone = true;
    rig.loop.runFor(0.12);
    const std::size_t levelsAtStop = rig.levels.size();
    rig.player->stop();
    rig.loop.runFor(2);
    EXPECT_EQ(rig.drained, 0);
    EXPECT_EQ(rig.levels.size(), levelsAtStop);
    EXPECT_LT(rig.speakers.heard().size(), 12000u);
    rig.player->drain();
    EXPECT_EQ(rig.drained, 0) << "a stopped player does not drain";
}

TEST(PCMStreamPlayer, TheDrainCallbackMayDestroyThePlayer) {
    Rig rig;
    rig.start();
    rig.player->onDrained = [&rig] {
        ++rig.drained;
        rig.player.reset();
    };
    rig.player->append(constantPcm(1200, 100));
    rig.player->inputDone = true;
    rig.loop.runFor(1);
    EXPECT_EQ(rig.drained, 1);
    EXPECT_EQ(rig.player, nullptr);
}

TEST(PCMStreamPlayer, PausingHoldsTheSoundAndTheRateShortensIt) {
    Rig rig;
    rig.start(2.0);
    rig.player->append(constantPcm(24000, 100));  // one second of sound
    rig.player->inputDone = true;
    rig.player->setPaused(true);
    EXPECT_TRUE(rig.player->isPaused());
    rig.loop.runFor(5);
    EXPECT_TRUE(rig.speakers.heard().empty());
    rig.player->setPaused(false);
    rig.loop.runFor(0.25);
    rig.player->setRate(1.0);
    rig.loop.runFor(0.45);
    EXPECT_EQ(rig.drained, 0) << "0.5 s of sound at 2×, then 0.45 s at 1×";
    rig.loop.runFor(0.1);
    EXPECT_EQ(rig.drained, 1);
}

TEST(PCMStreamPlayer, StartFailsWhenTheOutputCannotOpen) {
    Rig rig;
    rig.speakers.setFailure(ports::AudioErrorKind::noDevice);
    EXPECT_THROW(rig.start(), ports::AudioError);
    rig.player->append(constantPcm(1200, 100));
    EXPECT_EQ(rig.player->pending(), 0u) << "nothing plays without an output";
}

TEST(PCMStreamPlayer, AStopDuringStartClosesTheOutput) {
    Rig rig;
    auto handle = rt::spawn(rig.loop.main(), Rig::startTask(rig.player, 1.0));
    rig.player->stop();
    rig.loop.runUntilIdle();
    ASSERT_TRUE(handle.done());
    rig.player->append(constantPcm(1200, 100));
    rig.loop.runFor(1);
    EXPECT_TRUE(rig.speakers.heard().empty());
}

}  // namespace
}  // namespace veska

namespace veska {
namespace {

/// An output whose device went away: it refuses every buffer.
class GoneSpeakers final : public ports::AudioPlayer {
    class Gone final : public ports::AudioPlayback {
    public:
        ports::AudioFormat format() const override { return PCMStreamPlayer::format; }
        bool schedule(std::vector<float> /*samples*/, std::function<void()> /*onPlayed*/) override { return false; }
        void setRate(double /*rate*/) override {}
        double rate() const override { return 1.0; }
        void pause() override {}
        void resume() override {}
        bool paused() const override { return false; }
        void setVolume(double /*volume*/) override {}
        void stop() override {}
        std::size_t pending() const override { return 0; }
    };

public:
    rt::Task<std::unique_ptr<ports::AudioPlayback>> start(ports::AudioFormat /*format*/, double /*rate*/) override {
        co_return std::make_unique<Gone>();
    }
};

TEST(PCMStreamPlayer, BuffersTheOutputRefusesAreNotWaitedFor) {
    rt::VirtualLoop loop;
    GoneSpeakers speakers;
    auto player = std::make_shared<PCMStreamPlayer>(speakers);
    std::vector<double> levels;
    player->onLevel = [&](double level) { levels.push_back(level); };
    loop.run(Rig::startTask(player, 1.0));
    player->append(constantPcm(3000, 100));
    EXPECT_EQ(player->pending(), 0u);
    EXPECT_TRUE(player->levels().empty());
    EXPECT_TRUE(levels.empty());
}

}  // namespace
}  // namespace veska
