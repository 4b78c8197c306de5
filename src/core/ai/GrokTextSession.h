// The AI text session of the Grok source: xAI's realtime WebSocket, used for text only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/ai/TextSession.h"
#include "ports/WebSocketClient.h"
#include "runtime/Executor.h"
#include "runtime/Task.h"

namespace veska {

/// What a Grok session needs from outside: the WebSocket client, where the service is, and the
/// signed-in Grok account's client secrets.
struct GrokRealtimeLink {
    ports::WebSocketClient* sockets = nullptr;
    /// Base URL of the xAI API ("https://api.x.ai"); the socket goes to its ws/wss form.
    std::string apiURL;
    /// Origin of the xAI console, sent as "Origin".
    std::string consoleOrigin;
    /// A client secret for a realtime session of the model; throws `TranslateError::signedOut()`
    /// when the account is signed out or rejected, `TranslateError::unreachable()` otherwise.
    std::function<rt::Task<std::string>(std::string model)> realtimeSecret;
};

/// A conversation with Grok over one realtime WebSocket, told to answer in text through the
/// `deliver_text` function tool. Made unopened, opened once, used for one `send` at a time,
/// closed once. Lives on the main executor; every failure is a `TranslateError` and leaves the
/// connection for `close` to end.
class GrokTextSession final : public TextSession {
public:
    static constexpr char kModel[] = "grok-voice-think-fast-2.0";
    static constexpr char kProtocolPrefix[] = "xai-client-secret.";
    static constexpr double kConnectTimeoutSeconds = 30;
    static constexpr double kFirstEventSeconds = 10;
    static constexpr double kSendDeadlineSeconds = 90;
    static constexpr double kDeltaIntervalSeconds = 0.08;

    /// Ask the service for text output only. Process-wide; switched off for good by the first
    /// service error that names modalities.
    static inline bool textOnly = true;
    /// Ask for the answer through the `deliver_text` tool. Process-wide; switched off for good
    /// by the first service error that names tools.
    static inline bool useTool = true;

    /// `clock` is the main executor; the opening time starts at its present.
    GrokTextSession(GrokRealtimeLink link, rt::Executor& clock);
    ~GrokTextSession() override;

    [[nodiscard]] double age() const override;
    rt::Task<void> open(std::string instructions) override;
    rt::Task<std::string> send(std::string text, OnDelta onDelta) override;
    void close() override;

    /// The part of the "text" member's string value that has arrived in the unfinished JSON
    /// text `arguments`, escapes decoded; nothing when there is no such string value (yet).
    [[nodiscard]] static std::optional<std::string> partialText(std::string_view arguments);
    /// The `deliver_text` function tool.
    [[nodiscard]] static const nlohmann::json& tool();

private:
    struct Reply;

    /// The next event received, or an empty object for a frame that is not a JSON object.
    rt::Task<nlohmann::json> next(double timeout);
    rt::Task<void> sendJSON(nlohmann::json object);
    /// Handles one event of a reply; true once the reply is complete.
    rt::Task<bool> handle(nlohmann::json event, Reply* reply, const OnDelta* onDelta);
    /// Handles an "error" event: re-configures for a fallback, or fails.
    rt::Task<void> fallBack(nlohmann::json event);
    rt::Task<std::unique_ptr<ports::WebSocket>> connect(ports::WebSocketRequest request);

    GrokRealtimeLink link_;
    rt::Executor& clock_;
    std::unique_ptr<ports::WebSocket> task_;
    double openedAt_;
};

}  // namespace veska
