// The controller's view of the Claude web session, over the voice session and ClaudeSession.
#include "core/voice/ClaudeWebService.h"

namespace veska {

namespace {

/// One dictation: the controller's callbacks and calls handed to a `ClaudeVoiceSession`.
class ClaudeVoiceStream final : public VoiceStream {
public:
    explicit ClaudeVoiceStream(const ClaudeVoiceServices& services)
        : session_(std::make_unique<ClaudeVoiceSession>(services)) {
        session_->onText = [this](const std::string& text) {
            if (onText) onText(text);
        };
        session_->onLevel = [this](float level) {
            if (onLevel) onLevel(level);
        };
        session_->onFailure = [this](ClaudeVoiceError error) {
            if (onFailure) onFailure(error);
        };
    }

    rt::Task<std::optional<ClaudeVoiceError>> startMic() override {
        try {
            co_await session_->startMic();
        } catch (const ClaudeVoiceFailure& failure) {
            co_return failure.error();
        }
        co_return std::nullopt;
    }

    void connect(std::string cookieHeader, std::optional<std::string> organization, std::string language) override {
        session_->connect(cookieHeader, organization, language);
    }

    void failBeforeConnect(ClaudeVoiceError error) override { session_->failBeforeConnect(error); }

    rt::Task<VoiceResult> finish() override {
        ClaudeVoiceSession::Result result = co_await session_->finish();
        if (!result) co_return VoiceResult{std::nullopt, result.error()};
        co_return VoiceResult{std::move(*result), std::nullopt};
    }

    void cancel() override {
        onText = nullptr;
        onLevel = nullptr;
        onFailure = nullptr;
        session_->cancel();
    }

private:
    std::unique_ptr<ClaudeVoiceSession> session_;
};

}  // namespace

ClaudeWebService::ClaudeWebService(ClaudeVoiceServices voice, ClaudeSession& session, std::string displayName)
    : voice_(std::move(voice)), session_(session), displayName_(std::move(displayName)) {}

std::unique_ptr<VoiceStream> ClaudeWebService::makeVoiceSession() {
    return std::make_unique<ClaudeVoiceStream>(voice_);
}

rt::Task<std::optional<ClaudeCredentials>> ClaudeWebService::credentials() {
    std::optional<ClaudeSession::Credentials> found = co_await session_.credentials();
    if (!found) co_return std::nullopt;
    co_return ClaudeCredentials{std::move(found->cookieHeader), std::move(found->organization)};
}

rt::Task<ClaudeAccount> ClaudeWebService::checkAccount() {
    ClaudeSession::Account account = co_await session_.checkAccount();
    switch (account.kind) {
        case ClaudeSession::Account::Kind::signedIn: co_return ClaudeAccount::signedIn(account.email.value_or(""));
        case ClaudeSession::Account::Kind::signedOut: co_return ClaudeAccount::signedOut();
        case ClaudeSession::Account::Kind::unknown: co_return ClaudeAccount::unknown();
    }
    co_return ClaudeAccount::unknown();
}

std::string ClaudeWebService::dictationLanguage() { return session_.dictationLanguage(); }

}  // namespace veska
