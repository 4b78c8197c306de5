// Streaming requests to the Gemini and DeepSeek APIs over the HTTP client port.
#include "core/ai/AIHTTP.h"

#include <cctype>
#include <utility>
#include <vector>

#include "core/ai/EventStream.h"
#include "runtime/Check.h"
#include "text/Ascii.h"
#include "text/Characters.h"

namespace veska::AIHTTP {

namespace {

using nlohmann::json;

constexpr double kTemperature = 0.2;

[[noreturn]] void throwTransport(const ports::HttpError& error) {
    if (error.kind() == ports::HttpErrorKind::cancelled) throw rt::Cancelled{};
    throw AIError::network();
}

// Counts characters of a string that grows by appended pieces, recounting only from the start
// of its last character (an appended piece may extend that character).
class CharacterCounter {
public:
    std::size_t grew(const std::string& text) {
        std::vector<std::size_t> bounds = text::characterBounds(std::string_view(text).substr(lastStart_));
        if (bounds.size() < 2) return before_;
        const std::size_t tail = bounds.size() - 1;
        const std::size_t total = before_ + tail;
        before_ += tail - 1;
        lastStart_ += bounds[tail - 1];
        return total;
    }

private:
    std::size_t before_ = 0;     // characters wholly before lastStart_
    std::size_t lastStart_ = 0;  // byte offset of the last character
};

// Reads an error body until it holds more than `kMaxErrorCharacters` characters or ends.
rt::Task<std::string> errorBody(ports::HttpBody* body) {
    std::string text;
    CharacterCounter counter;
    for (std::size_t characters = 0; characters <= kMaxErrorCharacters;) {
        std::optional<std::string> line;
        try {
            line = co_await body->nextLine();
        } catch (const ports::HttpError& error) {
            throwTransport(error);
        }
        if (!line) break;
        text += *line;
        characters = counter.grew(text);
    }
    co_return text;
}

// A 400 answer that blames the thinking configuration.
bool rejectsThinking(const AIError& error) {
    return error.kind() == AIError::Kind::http && error.status() == 400 &&
           text::asciiLowered(error.message()).find("thinking") != std::string::npos;
}

// `base` and `path` joined by exactly one "/".
std::string joined(std::string_view base, std::string_view path) {
    while (base.ends_with('/')) base.remove_suffix(1);
    while (path.starts_with('/')) path.remove_prefix(1);
    std::string url(base);
    url += '/';
    url += path;
    return url;
}

bool isPathCharacter(unsigned char c) {
    if (std::isalnum(c) != 0 && c < 0x80) return true;
    return std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

ports::HttpRequest streamingRequest(std::string url) {
    ports::HttpRequest request;
    request.url = std::move(url);
    request.timeoutSeconds = kRequestTimeoutSeconds;
    request.idleTimeoutSeconds = kIdleTimeoutSeconds;
    return request;
}

json geminiBody(const std::string& model, int variant, const std::string& instructions,
                const std::string& text) {
    json generation = {{"temperature", kTemperature}};
    if (auto thinking = geminiThinking(model, variant)) generation["thinkingConfig"] = std::move(*thinking);
    return {
        {"systemInstruction", {{"parts", json::array({{{"text", instructions}}})}}},
        {"contents", json::array({{{"role", "user"}, {"parts", json::array({{{"text", text}}})}}})},
        {"generationConfig", std::move(generation)},
    };
}

json deepseekBody(const std::string& model, const std::string& instructions, const std::string& text) {
    return {
        {"model", model},
        {"stream", true},
        {"temperature", kTemperature},
        {"messages", json::array({{{"role", "system"}, {"content", instructions}},
                                  {{"role", "user"}, {"content", text}}})},
        {"thinking", {{"type", "disabled"}}},
    };
}

rt::Task<void> gemini(Link link, std::string model, std::string key, std::string instructions,
                      std::string text, OnPiece onDelta) {
    const std::optional<int> remembered = link.health->thinkingVariant(model);
    int variant = remembered.value_or(0);
    for (;;) {
        ports::HttpRequest request = streamingRequest(geminiURL(link.endpoints.gemini, model));
        request.headers.set("x-goog-api-key", key);
        try {
            co_await run(link.http, std::move(request), geminiBody(model, variant, instructions, text),
                         EventStream::Format::gemini, onDelta);
            link.health->rememberThinking(model, variant);
            co_return;
        } catch (const AIError& error) {
            if (remembered || variant >= kLastThinkingVariant || !rejectsThinking(error)) throw;
        }
        ++variant;
    }
}

rt::Task<void> deepseek(Link link, std::string model, std::string key, std::string instructions,
                        std::string text, OnPiece onDelta) {
    json body = deepseekBody(model, instructions, text);
    ports::HttpRequest request = streamingRequest(joined(link.endpoints.deepseek, "/chat/completions"));
    request.headers.set("Authorization", "Bearer " + key);
    try {
        co_await run(link.http, request, body, EventStream::Format::deepseek, onDelta);
        co_return;
    } catch (const AIError& error) {
        if (!rejectsThinking(error)) throw;
    }
    body.erase("thinking");
    co_await run(link.http, std::move(request), std::move(body), EventStream::Format::deepseek,
                 std::move(onDelta));
}

rt::Task<void> headRequest(ports::HttpClient* http, std::string url) {
    ports::HttpRequest request;
    request.method = ports::HttpMethod::head;
    request.url = std::move(url);
    request.timeoutSeconds = kWarmTimeoutSeconds;
    try {
        ports::HttpResponse response = co_await http->send(std::move(request));
    } catch (const ports::HttpError&) {
        // A warm-up that fails costs nothing: the real request will say what is wrong.
        co_return;
    }
}

}  // namespace

rt::Task<void> stream(Link link, AISource source, std::string model, std::string key,
                      std::string instructions, std::string text, OnPiece onDelta) {
    VESKA_CHECK(link.http != nullptr && link.health != nullptr,
                "an AI link needs a client and a health record");
    switch (source) {
        case AISource::gemini:
            co_await gemini(std::move(link), std::move(model), std::move(key), std::move(instructions),
                            std::move(text), std::move(onDelta));
            co_return;
        case AISource::deepseek:
            co_await deepseek(std::move(link), std::move(model), std::move(key), std::move(instructions),
                              std::move(text), std::move(onDelta));
            co_return;
        case AISource::grok:
        case AISource::chatgpt:
            break;
    }
    throw AIError::empty();
}

rt::Task<void> run(ports::HttpClient* http, ports::HttpRequest request, nlohmann::json body,
                   EventStream::Format format, OnPiece onDelta) {
    request.method = ports::HttpMethod::post;
    request.headers.set("Content-Type", "application/json");
    request.body = body.dump();
    std::optional<ports::HttpResponse> response;
    try {
        response = co_await http->send(std::move(request));
    } catch (const ports::HttpError& error) {
        throwTransport(error);
    }
    if (response->status != 200) {
        std::string text = co_await errorBody(&response->body);
        const std::string message = errorMessage(text);
        throw AIError::http(response->status, std::string(text::firstCharacters(message, kMaxMessageCharacters)));
    }
    for (;;) {
        std::optional<std::string> line;
        try {
            line = co_await response->body.nextLine();
        } catch (const ports::HttpError& error) {
            throwTransport(error);
        }
        if (!line) co_return;
        EventStream::Delta parsed = EventStream::parseDelta(*line, format);
        if (std::holds_alternative<EventStream::Done>(parsed)) co_return;
        const auto* piece = std::get_if<std::string>(&parsed);
        if (piece != nullptr && !piece->empty()) onDelta(*piece);
    }
}

std::string errorMessage(const std::string& body) {
    json parsed = json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return body;
    auto error = parsed.find("error");
    if (error == parsed.end() || !error->is_object()) return body;
    auto message = error->find("message");
    if (message == error->end() || !message->is_string()) return body;
    return message->get<std::string>();
}

std::optional<json> geminiThinking(std::string_view model, int variant) {
    const bool older = model.find("2.5") != std::string_view::npos;
    json budget = {{"thinkingBudget", 0}};
    json level = {{"thinkingLevel", "minimal"}};
    if (variant <= 0) return older ? budget : level;
    if (variant == 1) return older ? level : budget;
    return std::nullopt;
}

std::string geminiURL(std::string_view base, std::string_view model) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : model) {
        auto byte = static_cast<unsigned char>(c);
        if (isPathCharacter(byte)) {
            encoded += c;
            continue;
        }
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0xF];
    }
    return joined(base, "v1beta/models/" + encoded + ":streamGenerateContent?alt=sse");
}

std::string geminiText(const json& event) {
    if (!event.is_object()) return {};
    auto candidates = event.find("candidates");
    if (candidates == event.end() || !candidates->is_array() || candidates->empty()) return {};
    const json& first = candidates->front();
    if (!first.is_object()) return {};
    auto content = first.find("content");
    if (content == first.end() || !content->is_object()) return {};
    auto parts = content->find("parts");
    if (parts == content->end() || !parts->is_array()) return {};
    std::string text;
    for (const json& part : *parts) {
        if (!part.is_object()) continue;
        auto thought = part.find("thought");
        if (thought != part.end() && thought->is_boolean() && thought->get<bool>()) continue;
        auto piece = part.find("text");
        if (piece != part.end() && piece->is_string()) text += piece->get_ref<const std::string&>();
    }
    return text;
}

std::string deepseekText(const json& event) {
    if (!event.is_object()) return {};
    auto choices = event.find("choices");
    if (choices == event.end() || !choices->is_array() || choices->empty()) return {};
    const json& first = choices->front();
    if (!first.is_object()) return {};
    auto delta = first.find("delta");
    if (delta == first.end() || !delta->is_object()) return {};
    auto content = delta->find("content");
    if (content == delta->end() || !content->is_string()) return {};
    return content->get<std::string>();
}

void warm(rt::Scope& scope, rt::Executor& executor, const Link& link, AISource source) {
    if (link.http == nullptr) return;
    switch (source) {
        case AISource::gemini:
            scope.start(executor, headRequest(link.http, link.endpoints.gemini));
            return;
        case AISource::deepseek:
            scope.start(executor, headRequest(link.http, link.endpoints.deepseek));
            return;
        case AISource::grok:
        case AISource::chatgpt:
            return;
    }
}

}  // namespace veska::AIHTTP
