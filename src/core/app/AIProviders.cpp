#include "core/app/AIProviders.h"

#include "core/ai/AIConfig.h"
#include "runtime/Check.h"

namespace veska {

AIProviders::AIProviders(rt::Executor& main, Translator::SessionPorts ports)
    : main_(main), ports_(std::move(ports)) {
    VESKA_CHECK(ports_.env != nullptr, "the AI configuration is read from the home directory");
}

AISource AIProviders::source(AITask task) {
    return AIConfig::load(*ports_.env).source(task);
}

void AIProviders::warm(AISource source) {
    if (ports_.http == nullptr) return;
    AIHTTP::warm(scope_, main_,
                 AIHTTP::Link{.http = ports_.http, .endpoints = ports_.endpoints, .health = ports_.health},
                 source);
}

std::unique_ptr<TextSession> AIProviders::makeSession(AITask task) {
    return Translator::makeSession(task, ports_);
}

}  // namespace veska
