// Contract of the AudioPlayer port: notices in order, stop, pause, rate, formats.
// Instantiate with a factory type whose static make() returns an AudioPlayerContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "contract/ContractEnv.h"
#include "ports/AudioPlayer.h"

namespace veska::contract {

class AudioPlayerContractEnv : public ContractEnv {
public:
    virtual ports::AudioPlayer& player() = 0;
};

namespace play {

inline const ports::AudioFormat kSpeech{24000, 1, ports::SampleType::float32};

/// `seconds` of a quiet tone at 24 kHz mono.
inline std::vector<float> tone(double seconds) {
    const auto frames = static_cast<std::size_t>(seconds * kSpeech.sampleRate);
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) out[i] = 0.1F * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
    return out;
}

inline rt::Task<std::unique_ptr<ports::AudioPlayback>> open(ports::AudioPlayer* player, double rate) {
    std::unique_ptr<ports::AudioPlayback> playback = co_await player->start(kSpeech, rate);
    co_return playback;
}

}  // namespace play

template <class Factory>
class AudioPlayerContract : public ::testing::Test {
protected:
    std::unique_ptr<AudioPlayerContractEnv> env_ = Factory::make();
    AudioPlayerContractEnv& env() { return *env_; }
    std::unique_ptr<ports::AudioPlayback> open(double rate = 1.0) {
        return runTask(*env_, play::open(&env_->player(), rate));
    }
    /// Schedules `count` buffers of `seconds` each, noting their numbers as they are heard.
    void scheduleNumbered(ports::AudioPlayback& playback, int count, double seconds, std::vector<int>& heard) {
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(playback.schedule(play::tone(seconds), [&heard, i] { heard.push_back(i); }));
        }
    }
};

TYPED_TEST_SUITE_P(AudioPlayerContract);

TYPED_TEST_P(AudioPlayerContract, NoticesComeInScheduleOrderOnTheStartingExecutor) {
    auto playback = this->open();
    std::vector<int> heard;
    std::vector<bool> onExecutor;
    rt::Executor* expected = &this->env().executor();
    for (int i = 0; i < 6; ++i) {
        playback->schedule(play::tone(0.05), [&, i] {
            heard.push_back(i);
            onExecutor.push_back(rt::Executor::current() == expected);
        });
    }
    EXPECT_EQ(playback->pending(), 6u);
    ASSERT_TRUE(this->env().runUntil([&] { return heard.size() == 6; }, 5));
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(onExecutor, std::vector<bool>(6, true));
    EXPECT_EQ(playback->pending(), 0u);
}

TYPED_TEST_P(AudioPlayerContract, StopDropsTheRestAndNoNoticeFollows) {
    auto playback = this->open();
    std::vector<int> heard;
    this->scheduleNumbered(*playback, 10, 0.1, heard);
    ASSERT_TRUE(this->env().runUntil([&] { return heard.size() >= 2; }, 5));
    playback->stop();
    const std::size_t atStop = heard.size();
    this->env().advance(1.5);
    EXPECT_EQ(heard.size(), atStop);
    EXPECT_EQ(playback->pending(), 0u);
    EXPECT_FALSE(playback->schedule(play::tone(0.05), [&] { heard.push_back(99); }));
    this->env().advance(0.2);
    EXPECT_EQ(heard.size(), atStop);
}

TYPED_TEST_P(AudioPlayerContract, PauseHoldsPlaybackUntilResumed) {
    auto playback = this->open();
    std::vector<int> heard;
    this->scheduleNumbered(*playback, 2, 0.1, heard);
    playback->pause();
    EXPECT_TRUE(playback->paused());
    this->env().advance(0.8);
    EXPECT_TRUE(heard.empty());
    playback->resume();
    EXPECT_FALSE(playback->paused());
    ASSERT_TRUE(this->env().runUntil([&] { return heard.size() == 2; }, 5));
    EXPECT_EQ(heard, (std::vector<int>{0, 1}));
}

TYPED_TEST_P(AudioPlayerContract, PausingMidBufferKeepsItsPlace) {
    auto playback = this->open();
    bool played = false;
    playback->schedule(play::tone(1.0), [&] { played = true; });
    this->env().advance(0.6);
    playback->pause();
    this->env().advance(2.0);
    EXPECT_FALSE(played);
    playback->resume();
    this->env().advance(0.2);
    EXPECT_FALSE(played) << "0.4 s of sound were left";
    this->env().advance(0.4);
    EXPECT_TRUE(played) << "the first 0.6 s were not played again";
}

TYPED_TEST_P(AudioPlayerContract, RateChangesHowLongTheSoundLasts) {
    struct Row {
        double startRate;
        double laterRate;  // set after 0.5 s
        double checkAt;
        bool playedBy;
    };
    const std::vector<Row> rows = {
        {1.0, 1.0, 1.6, false},  // 2 s of sound at normal speed is still playing
        {1.0, 2.0, 1.6, true},   // 0.5 s at 1×, the remaining 1.5 s at 2× takes 0.75 s
        {2.0, 2.0, 1.3, true},
        {2.0, 1.0, 1.3, false},  // 1 s of sound went at 2×; the other 1 s at 1× ends at 1.5 s
        {2.0, 1.0, 1.7, true},
        {0.5, 0.5, 3.0, false},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto playback = this->open(rows[i].startRate);
        EXPECT_DOUBLE_EQ(playback->rate(), rows[i].startRate);
        bool played = false;
        playback->schedule(play::tone(2.0), [&] { played = true; });
        this->env().advance(0.5);
        playback->setRate(rows[i].laterRate);
        this->env().advance(rows[i].checkAt - 0.5);
        EXPECT_EQ(played, rows[i].playedBy) << "row " << i;
        playback->stop();
    }
}

TYPED_TEST_P(AudioPlayerContract, RatesAndVolumesOutsideTheirRangeAreBroughtIn) {
    auto playback = this->open();
    const std::vector<std::pair<double, double>> rows = {
        {10.0, ports::kMaxPlaybackRate}, {0.0, ports::kMinPlaybackRate}, {NAN, 1.0}, {1.5, 1.5}};
    for (const auto& [asked, got] : rows) {
        playback->setRate(asked);
        EXPECT_DOUBLE_EQ(playback->rate(), got) << asked;
    }
    playback->setVolume(3.0);
    playback->setVolume(-1.0);
    bool played = false;
    playback->schedule(play::tone(0.05), [&] { played = true; });
    EXPECT_TRUE(this->env().runUntil([&] { return played; }, 5));
}

TYPED_TEST_P(AudioPlayerContract, FormatsItCannotPlayAreRefused) {
    const std::vector<ports::AudioFormat> rows = {
        {24000, 1, ports::SampleType::int16}, {0, 1, ports::SampleType::float32}, {24000, 0, ports::SampleType::float32}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto error = runForError<ports::AudioError>(this->env(), this->env().player().start(rows[i], 1.0));
        ASSERT_TRUE(error.has_value()) << "row " << i;
        EXPECT_EQ(error->kind(), ports::AudioErrorKind::badFormat) << "row " << i;
    }
}

REGISTER_TYPED_TEST_SUITE_P(AudioPlayerContract, NoticesComeInScheduleOrderOnTheStartingExecutor,
                            StopDropsTheRestAndNoNoticeFollows, PauseHoldsPlaybackUntilResumed,
                            PausingMidBufferKeepsItsPlace,
                            RateChangesHowLongTheSoundLasts, RatesAndVolumesOutsideTheirRangeAreBroughtIn,
                            FormatsItCannotPlayAreRefused);

}  // namespace veska::contract
