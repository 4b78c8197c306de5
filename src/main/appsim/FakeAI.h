// AI engines in memory: each action answers what the test scripted, after a delay, or fails.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/ai/TranslateError.h"
#include "core/app/AppCollaborators.h"
#include "main/appsim/AppLog.h"

namespace veska::appsim {

/// What the sessions of one action answer.
struct AIReply {
    /// The answer; nothing: the message sent comes back unchanged.
    std::optional<std::string> text;
    /// The session fails with this instead.
    std::optional<TranslateError::Kind> error;
    double seconds = 0.4;
};

/// The error of `kind`, for `source` where the case names one.
[[nodiscard]] TranslateError makeTranslateError(TranslateError::Kind kind, AISource source);

class FakeAIEngines final : public AIEngines {
public:
    AISource source(AITask task) override;
    void warm(AISource source) override { warmed.push_back(source); }
    std::unique_ptr<TextSession> makeSession(AITask task) override;

    std::map<AITask, AISource> sources;
    std::map<AITask, AIReply> replies;

    struct Sent {
        AITask task;
        std::string instructions;
        std::string text;
    };
    std::vector<Sent> sent;
    std::vector<AISource> warmed;
    int sessionsOpen = 0;
    /// Where each message sent is reported as "aiRequest", when set.
    AppLog* log = nullptr;
};

}  // namespace veska::appsim
