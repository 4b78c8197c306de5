// The read-aloud half of GrokSpeaker: starting, stopping and pausing a reading, the cache and
// its replay.
#include <limits>
#include <utility>

#include "core/ui/AppStrings.h"
#include "core/voice/GrokSpeaker.h"
#include "core/voice/GrokSessionSplit.h"
#include "runtime/Sleep.h"

namespace veska {

namespace {

/// The first part is short so that sound starts quickly; later parts are longer.
constexpr int kFirstPartCharacters = 240;
constexpr int kLaterPartCharacters = 1600;
constexpr char kActivityReason[] = "Reading text aloud";

std::string cacheKey(const std::string& voice, const std::vector<std::string>& parts) {
    std::string key = voice;
    key += '\x01';
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) key += '\n';
        key += parts[i];
    }
    return key;
}

}  // namespace

void GrokSpeaker::speak(std::string_view text, std::string voice, StartCallback onStart, LevelCallback onLevel,
                        FinishCallback onFinish) {
    stop();
    const std::uint64_t job = ++jobID_;
    voice_ = std::move(voice);
    onStart_ = std::move(onStart);
    onLevel_ = std::move(onLevel);
    onFinish_ = std::move(onFinish);
    started_ = false;
    retried_ = false;
    parts_ = GrokSession::split(text, kFirstPartCharacters, kLaterPartCharacters);
    partIndex_ = 0;
    if (parts_.empty()) {
        finish(job, std::nullopt);
        return;
    }

    // A hit becomes the newest entry at once and is replayed; a miss is recorded for the cache.
    std::string key = cacheKey(voice_, parts_);
    std::shared_ptr<const std::string> cached;
    for (auto it = cache_.rbegin(); it != cache_.rend(); ++it) {
        if (it->key != key) continue;
        CacheEntry entry = std::move(*it);
        cache_.erase(std::next(it).base());
        cached = entry.pcm;
        cache_.push_back(std::move(entry));
        break;
    }
    recordKey_.reset();
    if (!cached) recordKey_ = std::move(key);
    recording_.clear();

    if (services_.audio == nullptr) {
        finish(job, GrokSpeakError::failed(AppStrings::pick("Không phát được âm thanh", "Couldn't play audio")));
        return;
    }
    auto player = std::make_shared<PCMStreamPlayer>(*services_.audio);
    player->onLevel = [this, job](double level) {
        if (job == jobID_ && onLevel_) onLevel_(level);
    };
    player->onDrained = [this, job] { finish(job, std::nullopt); };
    player_ = player;
    starting_ = scope_.spawn(services_.main, begin(job, std::move(player), std::move(cached)));
}

rt::Task<void> GrokSpeaker::begin(std::uint64_t job, std::shared_ptr<PCMStreamPlayer> player,
                                  std::shared_ptr<const std::string> cached) {
    bool opened = false;
    try {
        co_await player->start(GrokSession::rate(services_.prefs));
        opened = true;
    } catch (const std::exception&) {
        opened = false;  // the audio output could not start
    }
    if (!opened) {
        finish(job, GrokSpeakError::failed(AppStrings::pick("Không phát được âm thanh", "Couldn't play audio")));
        co_return;
    }
    if (!current(job)) co_return;
    if (services_.activity != nullptr) activity_ = services_.activity->begin(kActivityReason);
    if (cached) {
        co_await replay(job, std::move(cached));
        co_return;
    }
    fetchPart(job);
}

rt::Task<void> GrokSpeaker::replay(std::uint64_t job, std::shared_ptr<const std::string> pcm) {
    const std::string_view audio(*pcm);
    for (std::size_t at = 0; at < audio.size(); at += kReplaySliceBytes) {
        if (job != jobID_ || !player_) co_return;
        while (static_cast<double>(player_->pending()) * PCMStreamPlayer::kBufferSeconds >= kReplayAheadSeconds - 1e-9) {
            co_await rt::sleepFor(kReplayWaitSeconds);
            if (job != jobID_ || !player_) co_return;
        }
        player_->append(audio.substr(at, kReplaySliceBytes));
    }
    if (job == jobID_) inputDone();
}

void GrokSpeaker::inputDone() {
    std::shared_ptr<PCMStreamPlayer> player = player_;  // a drain may release it
    if (!player) return;
    player->inputDone = true;
    if (player->pending() == 0) player->drain();
}

void GrokSpeaker::stop() {
    if (onFinish_) ++jobID_;
    release();
}

void GrokSpeaker::release() {
    recordKey_.reset();
    recording_ = std::string();
    task_ = {};
    starting_ = {};
    if (std::shared_ptr<PCMStreamPlayer> player = std::move(player_)) player->stop();
    onStart_ = nullptr;
    onLevel_ = nullptr;
    onFinish_ = nullptr;
    activity_.reset();
}

bool GrokSpeaker::togglePause() {
    if (!player_ || player_->stopped()) return false;
    player_->setPaused(!player_->isPaused());
    return player_->isPaused();
}

void GrokSpeaker::finish(std::uint64_t job, std::optional<GrokSpeakError> error) {
    if (!current(job)) return;
    FinishCallback done = std::move(onFinish_);
    release();
    done(std::move(error));
}

void GrokSpeaker::store() {
    if (recordKey_ && !recording_.empty() && recording_.size() <= kCacheLimitBytes) {
        cache_.push_back(CacheEntry{std::move(*recordKey_), std::make_shared<const std::string>(std::move(recording_))});
        recordKey_.reset();
        recording_ = std::string();
    }
    while (cacheBytes() > kCacheLimitBytes && cache_.size() >= 2) cache_.pop_front();
}

std::vector<std::string> GrokSpeaker::cacheKeys() const {
    std::vector<std::string> keys;
    keys.reserve(cache_.size());
    for (const CacheEntry& entry : cache_) keys.push_back(entry.key);
    return keys;
}

std::size_t GrokSpeaker::cacheBytes() const {
    std::size_t total = 0;
    for (const CacheEntry& entry : cache_) total += entry.pcm->size();
    return total;
}

}  // namespace veska
