// The Grok realtime session: opening with a client secret, the reply loop and its fallbacks.
#include "core/ai/GrokTextSession.h"

#include <limits>

#include "core/ai/BrowserUserAgent.h"
#include "core/ai/TranslateError.h"
#include "runtime/Race.h"
#include "runtime/Sleep.h"
#include "text/Ascii.h"
#include "text/WhiteSpace.h"

namespace veska {

namespace {

using nlohmann::json;

constexpr char kRealtimePath[] = "/v1/realtime";
constexpr char kToolInstruction[] = "\nAlways return the result by calling deliver_text.";
constexpr char kCallOutput[] = "{\"ok\":true}";

/// The ws/wss form of an http/https base URL, without trailing "/".
std::string socketBase(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    if (url.starts_with("https://")) return "wss://" + url.substr(8);
    if (url.starts_with("http://")) return "ws://" + url.substr(7);
    return url;
}

std::optional<std::string> stringMember(const json& object, const char* name) {
    if (!object.is_object()) return std::nullopt;
    auto it = object.find(name);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

/// Receives one frame; a close frame or a failure of the connection is `unreachable`.
rt::Task<ports::WebSocketFrame> receiveFrame(ports::WebSocket* socket) {
    try {
        ports::WebSocketFrame frame = co_await socket->receive();
        if (frame.kind == ports::WebSocketFrameKind::close) throw TranslateError::unreachable();
        co_return frame;
    } catch (const ports::WebSocketError&) {
        throw TranslateError::unreachable();
    }
}

rt::Task<std::unique_ptr<ports::WebSocket>> connectSocket(ports::WebSocketClient* sockets,
                                                          ports::WebSocketRequest request) {
    try {
        std::unique_ptr<ports::WebSocket> socket = co_await sockets->connect(std::move(request));
        co_return socket;
    } catch (const ports::WebSocketError&) {
        throw TranslateError::unreachable();
    }
}

}  // namespace

/// What one `send` has gathered of the service's reply.
struct GrokTextSession::Reply {
    double deadline = 0;
    std::string arguments;
    std::optional<std::string> functionText;
    std::optional<std::string> callId;
    std::string streamed;
    std::optional<std::string> doneText;
    double lastCallback = -std::numeric_limits<double>::infinity();
};

GrokTextSession::GrokTextSession(GrokRealtimeLink link, rt::Executor& clock)
    : link_(std::move(link)), clock_(clock), openedAt_(clock.now()) {}

GrokTextSession::~GrokTextSession() {
    close();
}

double GrokTextSession::age() const {
    return clock_.now() - openedAt_;
}

const json& GrokTextSession::tool() {
    static const json kTool = {
        {"type", "function"},
        {"name", "deliver_text"},
        {"description", "Deliver the finished text. Call it exactly once per message, with the whole result."},
        {"parameters",
         {{"type", "object"},
          {"properties",
           {{"text",
             {{"type", "string"}, {"description", "The complete result, keeping every line tag the message has."}}}}},
          {"required", json::array({"text"})}}},
    };
    return kTool;
}

rt::Task<std::unique_ptr<ports::WebSocket>> GrokTextSession::connect(ports::WebSocketRequest request) {
    auto first = co_await rt::race(connectSocket(link_.sockets, std::move(request)), rt::delay(kFirstEventSeconds));
    if (first.index() == 1) throw TranslateError::unreachable();
    co_return std::move(std::get<0>(first));
}

rt::Task<void> GrokTextSession::open(std::string instructions) {
    std::string secret = co_await link_.realtimeSecret(kModel);
    ports::WebSocketRequest request;
    request.url = socketBase(link_.apiURL) + kRealtimePath + "?model=" + kModel;
    request.headers = {{"User-Agent", kBrowserUserAgent}, {"Origin", link_.consoleOrigin}};
    request.protocols = {kProtocolPrefix + secret};
    request.timeoutSeconds = kConnectTimeoutSeconds;

    // The first event must come within its wait counted from the start of the connection.
    openedAt_ = clock_.now();
    task_ = co_await connect(std::move(request));
    const double remaining = openedAt_ + kFirstEventSeconds - clock_.now();
    co_await next(remaining);

    json session = {{"instructions", instructions}, {"turn_detection", nullptr}};
    if (textOnly) session["modalities"] = json::array({"text"});
    if (useTool) {
        session["tools"] = json::array({tool()});
        session["tool_choice"] = "required";
        session["instructions"] = instructions + kToolInstruction;
    }
    co_await sendJSON({{"type", "session.update"}, {"session", std::move(session)}});
}

rt::Task<std::string> GrokTextSession::send(std::string text, OnDelta onDelta) {
    json content = json::array({{{"type", "input_text"}, {"text", std::move(text)}}});
    co_await sendJSON({{"type", "conversation.item.create"},
                       {"item", {{"type", "message"}, {"role", "user"}, {"content", std::move(content)}}}});
    co_await sendJSON({{"type", "response.create"}});

    Reply reply;
    reply.deadline = clock_.now() + kSendDeadlineSeconds;
    for (;;) {
        const double remaining = reply.deadline - clock_.now();
        if (remaining <= 0) throw TranslateError::unreachable();
        json event = co_await next(remaining);
        const bool complete = co_await handle(event, &reply, &onDelta);
        if (complete) break;
    }

    if (reply.callId) {
        try {
            co_await sendJSON({{"type", "conversation.item.create"},
                               {"item", {{"type", "function_call_output"}, {"call_id", *reply.callId}, {"output", kCallOutput}}}});
        } catch (const TranslateError&) {
            // The answer is in hand; the service only hears that it was delivered.
        }
    }
    const std::string& whole = reply.functionText ? *reply.functionText
                               : reply.doneText   ? *reply.doneText
                                                  : reply.streamed;
    std::string result(text::trimmed(whole));
    if (result.empty()) throw TranslateError::failed();
    co_return result;
}

rt::Task<bool> GrokTextSession::handle(json event, Reply* reply, const OnDelta* onDelta) {
    const std::string type = stringMember(event, "type").value_or("");
    const auto mayReport = [&] { return clock_.now() - reply->lastCallback > kDeltaIntervalSeconds; };
    const auto report = [&](const std::string& soFar) {
        reply->lastCallback = clock_.now();
        if (*onDelta) (*onDelta)(soFar);
    };

    if (type == "response.function_call_arguments.delta") {
        reply->arguments += stringMember(event, "delta").value_or("");
        std::optional<std::string> soFar = partialText(reply->arguments);
        if (soFar && mayReport()) report(*soFar);
    } else if (type == "response.function_call_arguments.done") {
        if (auto id = stringMember(event, "call_id")) reply->callId = std::move(*id);
        const std::string arguments = stringMember(event, "arguments").value_or(reply->arguments);
        if (auto text = stringMember(json::parse(arguments, nullptr, false), "text")) reply->functionText = std::move(*text);
    } else if (type == "response.output_text.delta" || type == "response.output_audio_transcript.delta" ||
               type == "response.text.delta") {
        reply->streamed += stringMember(event, "delta").value_or("");
        if (reply->arguments.empty() && mayReport()) report(reply->streamed);
    } else if (type == "response.output_text.done" || type == "response.text.done") {
        if (auto text = stringMember(event, "text")) reply->doneText = std::move(*text);
    } else if (type == "response.output_audio_transcript.done") {
        if (auto transcript = stringMember(event, "transcript")) reply->doneText = std::move(*transcript);
    } else if (type == "response.done") {
        co_return true;
    } else if (type == "error") {
        co_await fallBack(event);
    }
    co_return false;
}

rt::Task<void> GrokTextSession::fallBack(json event) {
    std::string message;
    if (event.is_object() && event.contains("error")) message = stringMember(event["error"], "message").value_or("");
    message = text::asciiLowered(std::move(message));
    if (textOnly && message.find("modalit") != std::string::npos) {
        textOnly = false;
        co_await sendJSON({{"type", "session.update"}, {"session", {{"modalities", json::array({"text", "audio"})}}}});
        co_await sendJSON({{"type", "response.create"}});
        co_return;
    }
    if (useTool && message.find("tool") != std::string::npos) {
        useTool = false;
        co_await sendJSON({{"type", "session.update"}, {"session", {{"tools", json::array()}, {"tool_choice", "none"}}}});
        co_await sendJSON({{"type", "response.create"}});
        co_return;
    }
    throw TranslateError::failed();
}

rt::Task<nlohmann::json> GrokTextSession::next(double timeout) {
    if (!task_) throw TranslateError::failed();
    auto first = co_await rt::race(receiveFrame(task_.get()), rt::delay(timeout));
    if (first.index() == 1) throw TranslateError::unreachable();
    const ports::WebSocketFrame& frame = std::get<0>(first);
    json parsed = json::parse(frame.data, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) co_return json::object();
    co_return parsed;
}

rt::Task<void> GrokTextSession::sendJSON(nlohmann::json object) {
    if (!task_) throw TranslateError::failed();
    std::string text;
    try {
        text = object.dump();
    } catch (const json::exception&) {
        throw TranslateError::failed();
    }
    try {
        co_await task_->send(ports::WebSocketFrame::text(std::move(text)));
    } catch (const ports::WebSocketError&) {
        throw TranslateError::unreachable();
    }
}

void GrokTextSession::close() {
    if (!task_) return;
    task_->close(ports::kCloseNormal);
    task_.reset();
}

}  // namespace veska
