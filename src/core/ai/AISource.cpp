// Stored names of the AI sources.
#include "core/ai/AISource.h"

namespace veska {

std::string_view rawValue(AISource source) {
    switch (source) {
        case AISource::grok:
            return "grok";
        case AISource::gemini:
            return "gemini";
        case AISource::deepseek:
            return "deepseek";
        case AISource::chatgpt:
            return "chatgpt";
    }
    return "grok";
}

std::optional<AISource> aiSourceFromRaw(std::string_view raw) {
    for (AISource source : kAllAISources) {
        if (rawValue(source) == raw) return source;
    }
    return std::nullopt;
}

}  // namespace veska
