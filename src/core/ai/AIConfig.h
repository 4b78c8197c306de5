// The AI source of each action, the Gemini and DeepSeek models and the API keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ai/AISource.h"
#include "core/ai/AITask.h"
#include "ports/Environment.h"

namespace veska {

/// A snapshot of the AI configuration, read from "v2.json" (section "ai") and "v2.env" in the
/// configuration directory for one action. Nothing is cached: every `load` reads both files.
struct AIConfig {
    /// The DeepSeek model used when "v2.json" names none.
    static constexpr std::string_view kDefaultDeepseekModel = "deepseek-flash";

    AISource translate = AISource::grok;
    AISource write = AISource::grok;
    AISource fix = AISource::grok;
    /// The Gemini models to race; may be empty.
    std::vector<std::string> geminiModels;
    std::string deepseekModel{kDefaultDeepseekModel};
    /// Empty means no key.
    std::string geminiKey;
    std::string deepseekKey;

    /// Reads both files in `dir(env)`. Never fails: whatever is missing or malformed takes its
    /// default (Grok for every action, no Gemini models, "deepseek-flash", no keys).
    [[nodiscard]] static AIConfig load(const ports::Environment& env);

    /// The same rules on the files' bytes (nothing: the file could not be read).
    [[nodiscard]] static AIConfig parse(const std::optional<std::string>& v2Json,
                                        const std::optional<std::string>& v2Env);

    /// The home directory followed by "/.config/veska-voice".
    [[nodiscard]] static std::string dir(const ports::Environment& env);

    /// The source configured for `task`.
    [[nodiscard]] AISource source(AITask task) const;

    bool operator==(const AIConfig&) const = default;
};

}  // namespace veska
