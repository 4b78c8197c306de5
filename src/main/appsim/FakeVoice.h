// A Claude voice stream and web session in memory: the test says what the user says, when the
// stream fails and what the final text is.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/AppCollaborators.h"
#include "runtime/Executor.h"

namespace veska::appsim {

/// What the next voice streams do.
struct VoiceScript {
    /// `startMic` answers this (nothing: the microphone opens).
    std::optional<ClaudeVoiceError> micFailure;
    /// Seconds `startMic` takes.
    double micSeconds = 0;
    /// The final text `finish` gives; nothing: the last text said.
    std::optional<std::string> finalText;
    /// `finish` fails with this instead.
    std::optional<ClaudeVoiceError> finishFailure;
    /// Seconds `finish` takes.
    double finishSeconds = 0.3;
};

class FakeVoiceStream final : public VoiceStream {
public:
    FakeVoiceStream(rt::Executor& main, VoiceScript script, FakeVoiceStream** slot)
        : main_(main), script_(std::move(script)), slot_(slot) {}
    ~FakeVoiceStream() override {
        if (slot_ != nullptr && *slot_ == this) *slot_ = nullptr;
    }
    FakeVoiceStream(const FakeVoiceStream&) = delete;
    FakeVoiceStream& operator=(const FakeVoiceStream&) = delete;

    rt::Task<std::optional<ClaudeVoiceError>> startMic() override;
    void connect(std::string cookieHeader, std::optional<std::string> organization, std::string language) override;
    void failBeforeConnect(ClaudeVoiceError error) override;
    rt::Task<VoiceResult> finish() override;
    void cancel() override { cancelled = true; }

    /// The user's words so far (the whole transcript), as the service would send them.
    void say(const std::string& text);
    /// The stream fails while the user speaks.
    void fail(ClaudeVoiceError error);

    bool micOpen = false;
    bool connected = false;
    bool cancelled = false;
    std::optional<ClaudeVoiceError> failedBeforeConnect;
    std::string cookieHeader;
    std::string language;
    std::string heard;

private:
    rt::Executor& main_;
    VoiceScript script_;
    FakeVoiceStream** slot_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class FakeClaudeWeb final : public ClaudeWeb {
public:
    explicit FakeClaudeWeb(rt::Executor& main) : main_(main) {}

    std::unique_ptr<VoiceStream> makeVoiceSession() override;
    rt::Task<std::optional<ClaudeCredentials>> credentials() override;
    rt::Task<ClaudeAccount> checkAccount() override;
    std::string dictationLanguage() override { return language; }
    std::string displayName() override { return "claude.ai"; }

    /// The newest stream made, if it still lives (the controller owns it).
    [[nodiscard]] FakeVoiceStream* current() const { return current_; }

    VoiceScript script;
    std::optional<ClaudeCredentials> signedInCredentials = ClaudeCredentials{"sessionKey=sk-ant-test", "org-1"};
    ClaudeAccount account = ClaudeAccount::signedIn("user@example.com");
    std::string language = "vi";
    int streamsMade = 0;
    int accountChecks = 0;

private:
    rt::Executor& main_;
    FakeVoiceStream* current_ = nullptr;
};

}  // namespace veska::appsim
