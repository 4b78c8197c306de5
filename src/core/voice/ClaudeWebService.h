// The Claude web session as the controller drives it: voice streams, credentials, account.
#pragma once

#include <memory>
#include <string>

#include "core/app/AppCollaborators.h"
#include "core/voice/ClaudeSession.h"
#include "core/voice/ClaudeVoiceSession.h"

namespace veska {

/// The controller's `ClaudeWeb` over `ClaudeVoiceSession` and `ClaudeSession`. Lives on the
/// main executor; the session operations and services it was given outlive it.
class ClaudeWebService final : public ClaudeWeb {
public:
    ClaudeWebService(ClaudeVoiceServices voice, ClaudeSession& session, std::string displayName);

    [[nodiscard]] std::unique_ptr<VoiceStream> makeVoiceSession() override;
    rt::Task<std::optional<ClaudeCredentials>> credentials() override;
    rt::Task<ClaudeAccount> checkAccount() override;
    [[nodiscard]] std::string dictationLanguage() override;
    [[nodiscard]] std::string displayName() override { return displayName_; }

private:
    ClaudeVoiceServices voice_;
    ClaudeSession& session_;
    std::string displayName_;
};

}  // namespace veska
