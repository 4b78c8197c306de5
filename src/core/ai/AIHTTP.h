// One streaming request to the Gemini or DeepSeek API: the request, the event stream, the
// retries on a rejected thinking configuration, and warming connections ahead of use.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/ai/AIError.h"
#include "core/ai/AIHealth.h"
#include "core/ai/AISource.h"
#include "core/ai/EventStream.h"
#include "ports/HttpClient.h"
#include "runtime/Executor.h"
#include "runtime/Spawn.h"
#include "runtime/Task.h"

/// Stateless: what a request needs comes in a `Link`. Requests resume on the calling task's
/// executor.
namespace veska::AIHTTP {

/// An error body is read until it holds more than this many characters...
inline constexpr std::size_t kMaxErrorCharacters = 4000;
/// ...and the message carried by `AIError::http` is cut to this many.
inline constexpr std::size_t kMaxMessageCharacters = 300;
inline constexpr double kRequestTimeoutSeconds = 60;
/// Longest silence of a streaming answer.
inline constexpr double kIdleTimeoutSeconds = 15;
inline constexpr double kWarmTimeoutSeconds = 5;
/// The highest Gemini thinking variant: no thinking configuration at all.
inline constexpr int kLastThinkingVariant = 2;

/// Base URLs of the two APIs, without a trailing "/" (`ServiceConfig::url(Service::gemini)`
/// and `ServiceConfig::url(Service::deepseek)`).
struct Endpoints {
    std::string gemini;
    std::string deepseek;
};

/// What the requests go through. The pointees outlive every request made with the link.
struct Link {
    ports::HttpClient* http = nullptr;
    Endpoints endpoints;
    /// Where the accepted Gemini thinking variants are remembered.
    AIHealth* health = nullptr;
};

/// Receives each new piece of an answer (never empty), in order.
using OnPiece = std::function<void(const std::string& piece)>;

/// Streams the answer of `model` of `source` to `text` under `instructions`. Throws `AIError`
/// (`empty` at once for a source other than Gemini or DeepSeek), or `rt::Cancelled`.
rt::Task<void> stream(Link link, AISource source, std::string model, std::string key,
                      std::string instructions, std::string text, OnPiece onDelta);

/// POSTs `body` as JSON with `request`'s URL, headers and limits, and calls `onDelta` with the
/// text of every event of the stream (in `format`) that has some, until "[DONE]" or the end
/// of the body. A status other than
/// 200 throws `AIError::http` with the service's message; no answer throws `AIError::network`;
/// cancellation throws `rt::Cancelled`.
rt::Task<void> run(ports::HttpClient* http, ports::HttpRequest request, nlohmann::json body,
                   EventStream::Format format, OnPiece onDelta);

/// The error message in an error body: "error"."message" when the body is such a JSON object,
/// else the body itself.
[[nodiscard]] std::string errorMessage(const std::string& body);

/// The "thinkingConfig" of a Gemini request for `variant` (above 2 counts as 2); nothing for
/// variant 2, which sends none.
[[nodiscard]] std::optional<nlohmann::json> geminiThinking(std::string_view model, int variant);

/// The streaming URL of a Gemini model: `base` + "/v1beta/models/" + the percent-encoded name +
/// ":streamGenerateContent?alt=sse".
[[nodiscard]] std::string geminiURL(std::string_view base, std::string_view model);

/// The text of one Gemini event: the "text" of every part of the first candidate that is not
/// a thought, concatenated.
[[nodiscard]] std::string geminiText(const nlohmann::json& event);
/// The text of one DeepSeek event: "choices"[0]."delta"."content".
[[nodiscard]] std::string deepseekText(const nlohmann::json& event);

/// Prepares a connection to `source` ahead of use: a HEAD request to the service's base URL,
/// started in `scope` on `executor` and not awaited (its outcome is ignored). Grok and
/// ChatGPT are not reached over this link and are left alone.
void warm(rt::Scope& scope, rt::Executor& executor, const Link& link, AISource source);

}  // namespace veska::AIHTTP
