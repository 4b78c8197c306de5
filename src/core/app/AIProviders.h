// The AI engines of the app: the source configured for each action, warm-ups ahead of use,
// and the session of an action, all read from the configuration at the moment they are asked.
#pragma once

#include <memory>

#include "core/ai/MakeSession.h"
#include "core/app/AppCollaborators.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"

namespace veska {

/// The controller's `AIEngines` over `Translator::makeSession`. Lives on the main executor for
/// the whole process; everything `ports` points to outlives it. Warm-up requests run in its own
/// scope, so none outlives it.
class AIProviders final : public AIEngines {
public:
    AIProviders(rt::Executor& main, Translator::SessionPorts ports);

    [[nodiscard]] AISource source(AITask task) override;
    /// Gemini and DeepSeek: a HEAD request to the service's base URL, not awaited. Grok opens
    /// its socket when its session opens, and the ChatGPT page is not part of this program, so
    /// those two are left alone.
    void warm(AISource source) override;
    /// Throws `TranslateError` (`noKey` before any traffic, `failed` for a source this program
    /// cannot reach).
    [[nodiscard]] std::unique_ptr<TextSession> makeSession(AITask task) override;

    /// Warm-up requests still running.
    [[nodiscard]] std::size_t pendingWarmUps() const { return scope_.size(); }

private:
    rt::Executor& main_;
    Translator::SessionPorts ports_;
    rt::Scope scope_;
};

}  // namespace veska
