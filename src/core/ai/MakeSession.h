// Building the AI text session of an action from the configuration and the ports.
//
// How the app and the command-line tool get a `SessionFactory`:
//
//     ServiceConfig services = ServiceConfig::load(env);        // once, at start-up
//     Translator::SessionPorts ports{
//         .http = &httpClient,                                  // a ports::HttpClient
//         .env = &env,                                          // a ports::Environment
//         .endpoints = {services.url(Service::gemini), services.url(Service::deepseek)},
//         .grok = {&webSocketClient, services.url(Service::xaiAPI), speaker.consoleOrigin(),
//                  [&speaker](std::string model) { return speaker.textSessionSecret(std::move(model)); }},
//     };                                                        // health: AIHealth::shared()
//     SessionFactory factory = Translator::sessionFactory(ports);
//     std::string out = co_await Translator::translate(text, lang, style, md, {}, factory);
//
// The factory reads the configuration afresh for every session, so a change of v2.json or
// v2.env takes effect at the next action. Sessions run on the executor of the task that
// awaits them (for the command-line tool, its ThreadExecutor); `engines` can give the model
// tasks of the HTTP race an executor of their own. Everything the ports point to outlives the
// factory and every session it made.
#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "core/ai/AIHTTP.h"
#include "core/ai/AIHealth.h"
#include "core/ai/AITask.h"
#include "core/ai/GrokTextSession.h"
#include "core/ai/TextSession.h"
#include "ports/Environment.h"
#include "ports/HttpClient.h"
#include "runtime/Executor.h"

namespace veska::Translator {

/// Seconds between the starts of successive models of a race.
inline constexpr double kHedgeSeconds = 0.7;
/// The Gemini models raced when the configuration names none, fastest expected first.
inline constexpr std::array<std::string_view, 3> kDefaultGeminiModels{
    "gemini-3.5-flash-lite", "gemini-flash-lite-latest", "gemma-4-26b-a4b-it"};

/// What the sessions of every source are built from.
struct SessionPorts {
    /// Gemini and DeepSeek requests.
    ports::HttpClient* http = nullptr;
    /// The home directory, where the configuration files are.
    const ports::Environment* env = nullptr;
    /// Base URLs of the Gemini and DeepSeek APIs.
    AIHTTP::Endpoints endpoints;
    AIHealth* health = &AIHealth::shared();
    /// Where the model tasks of an HTTP race run; none: the executor awaiting `send`.
    rt::Executor* engines = nullptr;
    /// The realtime API and the Grok account; a program without them cannot use Grok.
    GrokRealtimeLink grok = {};
};

/// A new session for `task` with the source the configuration names for it. Throws
/// `TranslateError::noKey` when that source needs an API key and none is configured, before
/// any network traffic.
[[nodiscard]] std::unique_ptr<TextSession> makeSession(AITask task, const SessionPorts& ports);

/// `makeSession` bound to `ports`.
[[nodiscard]] SessionFactory sessionFactory(SessionPorts ports);

}  // namespace veska::Translator
