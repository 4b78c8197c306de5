// The outside AI services that turn text into corrected, rewritten or translated text.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace veska {

/// One AI text service. Grok is reached through its realtime WebSocket, Gemini and DeepSeek
/// through their HTTP streaming APIs, ChatGPT through its web page.
enum class AISource { grok, gemini, deepseek, chatgpt };

/// Every source, in the order the settings list them.
inline constexpr std::array<AISource, 4> kAllAISources{AISource::grok, AISource::gemini, AISource::deepseek,
                                                       AISource::chatgpt};

/// The stored name of a source: "grok", "gemini", "deepseek" or "chatgpt".
[[nodiscard]] std::string_view rawValue(AISource source);

/// The source whose stored name is `raw` exactly; nothing for any other string.
[[nodiscard]] std::optional<AISource> aiSourceFromRaw(std::string_view raw);

}  // namespace veska
