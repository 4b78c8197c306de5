#include "main/appsim/FakeVoice.h"

#include "runtime/Sleep.h"

namespace veska::appsim {

rt::Task<std::optional<ClaudeVoiceError>> FakeVoiceStream::startMic() {
    if (script_.micSeconds > 0) co_await rt::sleepFor(script_.micSeconds);
    if (!script_.micFailure) micOpen = true;
    co_return script_.micFailure;
}

void FakeVoiceStream::connect(std::string cookie, std::optional<std::string> /*organization*/, std::string lang) {
    connected = true;
    cookieHeader = std::move(cookie);
    language = std::move(lang);
}

void FakeVoiceStream::failBeforeConnect(ClaudeVoiceError error) {
    failedBeforeConnect = error;
    // The stream reports the failure as soon as it knows the connection cannot happen.
    std::weak_ptr<bool> alive = alive_;
    main_.post([this, alive, error] {
        if (alive.expired() || cancelled || !onFailure) return;
        onFailure(error);
    });
}

void FakeVoiceStream::say(const std::string& text) {
    heard = text;
    if (!cancelled && onText) onText(text);
}

void FakeVoiceStream::fail(ClaudeVoiceError error) {
    if (!cancelled && onFailure) onFailure(error);
}

rt::Task<VoiceResult> FakeVoiceStream::finish() {
    co_await rt::sleepFor(script_.finishSeconds);
    micOpen = false;
    if (failedBeforeConnect) co_return VoiceResult{std::nullopt, failedBeforeConnect};
    if (script_.finishFailure) co_return VoiceResult{std::nullopt, script_.finishFailure};
    co_return VoiceResult{script_.finalText.value_or(heard), std::nullopt};
}

std::unique_ptr<VoiceStream> FakeClaudeWeb::makeVoiceSession() {
    ++streamsMade;
    auto stream = std::make_unique<FakeVoiceStream>(main_, script, &current_);
    current_ = stream.get();
    return stream;
}

rt::Task<std::optional<ClaudeCredentials>> FakeClaudeWeb::credentials() {
    co_await rt::yieldNow();
    co_return signedInCredentials;
}

rt::Task<ClaudeAccount> FakeClaudeWeb::checkAccount() {
    ++accountChecks;
    co_await rt::sleepFor(0.1);
    co_return account;
}

}  // namespace veska::appsim
