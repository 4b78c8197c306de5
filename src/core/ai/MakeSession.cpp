// Choosing and building the session of an action.
#include "core/ai/MakeSession.h"

#include "core/ai/AIConfig.h"
#include "core/ai/ApiTextSession.h"
#include "core/ai/TranslateError.h"
#include "runtime/Check.h"

namespace veska::Translator {

namespace {

AIHTTP::Link linkOf(const SessionPorts& ports) {
    return AIHTTP::Link{.http = ports.http, .endpoints = ports.endpoints, .health = ports.health};
}

std::unique_ptr<TextSession> geminiSession(const AIConfig& config, const SessionPorts& ports) {
    if (config.geminiKey.empty()) throw TranslateError::noKey(AISource::gemini);
    std::vector<std::string> models = config.geminiModels;
    if (models.empty()) models.assign(kDefaultGeminiModels.begin(), kDefaultGeminiModels.end());
    return std::make_unique<ApiTextSession>(linkOf(ports), AISource::gemini, std::move(models),
                                            config.geminiKey, std::string(), kHedgeSeconds, ports.engines);
}

std::unique_ptr<TextSession> deepseekSession(const AIConfig& config, const SessionPorts& ports) {
    if (config.deepseekKey.empty()) throw TranslateError::noKey(AISource::deepseek);
    return std::make_unique<ApiTextSession>(linkOf(ports), AISource::deepseek,
                                            std::vector<std::string>{config.deepseekModel},
                                            config.deepseekKey, std::string(), kHedgeSeconds, ports.engines);
}

std::unique_ptr<TextSession> grokSession(const SessionPorts& ports) {
    // A program that reaches no Grok account (no WebSocket client, no secrets) cannot serve it.
    if (ports.grok.sockets == nullptr || !ports.grok.realtimeSecret) throw TranslateError::failed();
    rt::Executor* here = rt::Executor::current();
    VESKA_CHECK(here != nullptr, "sessions are made on an executor");
    return std::make_unique<GrokTextSession>(ports.grok, *here);
}

// The ChatGPT web bridge session (empty instructions, first message, no chat yet). Until it is
// built this source cannot serve an action.
std::unique_ptr<TextSession> chatgptSession(const SessionPorts& /*ports*/) {
    throw TranslateError::failed();
}

}  // namespace

std::unique_ptr<TextSession> makeSession(AITask task, const SessionPorts& ports) {
    VESKA_CHECK(ports.env != nullptr, "sessions are made from the configuration in the home directory");
    const AIConfig config = AIConfig::load(*ports.env);
    switch (config.source(task)) {
        case AISource::gemini:
            return geminiSession(config, ports);
        case AISource::deepseek:
            return deepseekSession(config, ports);
        case AISource::grok:
            return grokSession(ports);
        case AISource::chatgpt:
            return chatgptSession(ports);
    }
    throw TranslateError::failed();
}

SessionFactory sessionFactory(SessionPorts ports) {
    return [ports = std::move(ports)](AITask task) { return makeSession(task, ports); };
}

}  // namespace veska::Translator
