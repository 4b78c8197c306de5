// Reading a scenario file: the top level and the steps.
#include "main/scenario/ScenarioParser.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "main/scenario/ParseParts.h"

namespace veska::scenario {

namespace {

using parse::KnownIds;

/// Most bytes one "type" step may type.
constexpr std::size_t kMaxTypedBytes = 100'000;
/// Most keys one "post" step may post.
constexpr std::size_t kMaxPostedKeys = 1'000;

std::string secondsText(double seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
    return buffer;
}

PostKeys postKeys(const JsonNode& step) {
    PostKeys post;
    if (auto via = step.find("via")) {
        const std::string name = via->string();
        if (name != "automation" && name != "events") via->fail("is \"events\" (the default) or \"automation\"");
        post.viaAutomation = name == "automation";
    }
    const JsonNode keys = step.at("post");
    if (keys.isString()) {
        post.keys = postedKeys(parse::chord(keys));
        return post;
    }
    const std::size_t count = keys.size(kMaxPostedKeys);
    if (count == 0) keys.fail("posts no key");
    for (std::size_t i = 0; i < count; ++i) {
        const JsonNode item = keys[i];
        item.allowOnly({"key", "down", "flags"});
        const KeyChord single = parse::chord(item.at("key"));
        if (!single.modifierKeys.empty()) item.at("key").fail("names one key; give modifiers in \"flags\"");
        ports::KeyFlags flagWord = 0;
        if (auto flags = item.find("flags")) {
            for (std::size_t f = 0, n = flags->size(8); f < n; ++f) {
                const KeyChord modifier = parse::chord((*flags)[f]);
                const ports::KeyFlags bit = ports::modifierFlagOf(modifier.key);
                if (bit == 0 || !modifier.modifierKeys.empty()) (*flags)[f].fail("is not a modifier");
                flagWord |= bit;
            }
        }
        post.keys.push_back({single.key, item.at("down").boolean(), flagWord});
    }
    return post;
}

Select select(const JsonNode& step) {
    Select out;
    if (auto field = step.find("field")) out.field = parse::fieldRef(*field);
    const JsonNode what = step.at("select");
    if (what.isString()) {
        if (what.string() != "all") what.fail("is a range [location, length] or \"all\"");
        return out;
    }
    out.range = parse::range(what);
    return out;
}

Copy copy(const JsonNode& node) {
    Copy out;
    if (node.isString()) {
        out.contents.plainText = node.string();
        return out;
    }
    node.allowOnly({"text", "html", "rtf"});
    if (auto text = node.find("text")) out.contents.plainText = text->string();
    if (auto html = node.find("html")) out.contents.html = html->string();
    if (auto rtf = node.find("rtf")) out.contents.rtf = rtf->string();
    if (out.contents.empty()) node.fail("copies nothing: give \"text\", \"html\" or \"rtf\"");
    return out;
}

SendRequest request(const JsonNode& node, KnownIds& ids) {
    node.allowOnly({"id", "method", "url", "headers", "body", "timeout", "idleTimeout", "followRedirects"});
    SendRequest out;
    out.id = parse::newId(node, "request" + std::to_string(ids.requests.size() + 1), ids, false);
    if (auto method = node.find("method")) out.request.method = parse::method(*method);
    out.request.url = node.at("url").string();
    if (auto headers = node.find("headers")) out.request.headers = parse::headers(*headers);
    out.request.body = node.string("body", "");
    out.request.timeoutSeconds = node.seconds("timeout", kMaxScenarioSeconds, out.request.timeoutSeconds);
    out.request.idleTimeoutSeconds = node.seconds("idleTimeout", kMaxScenarioSeconds, 0);
    out.request.followRedirects = node.boolean("followRedirects", true);
    return out;
}

Connect connect(const JsonNode& node, KnownIds& ids) {
    node.allowOnly({"id", "url", "headers", "protocols", "timeout", "maxMessageBytes"});
    Connect out;
    out.id = parse::newId(node, "socket" + std::to_string(ids.connections.size() + 1), ids, true);
    out.request.url = node.at("url").string();
    if (auto headers = node.find("headers")) out.request.headers = parse::headers(*headers);
    if (auto protocols = node.find("protocols")) {
        for (std::size_t i = 0, n = protocols->size(32); i < n; ++i) out.request.protocols.push_back((*protocols)[i].string());
    }
    out.request.timeoutSeconds = node.seconds("timeout", kMaxScenarioSeconds, out.request.timeoutSeconds);
    if (auto limit = node.find("maxMessageBytes")) {
        out.request.maxMessageBytes = static_cast<std::size_t>(limit->integer(1, std::int64_t{1} << 30));
    }
    return out;
}

SendFrame sendFrame(const JsonNode& node, const KnownIds& ids) {
    node.allowOnly({"to", "text", "binary"});
    SendFrame out;
    out.id = parse::knownId(node.at("to"), ids, true);
    const std::string_view kind = node.oneOf({"text", "binary"}, "message kind");
    const std::string data = node.at(kind).string();
    out.frame = kind == "text" ? ports::WebSocketFrame::text(data) : ports::WebSocketFrame::binary(data);
    return out;
}

Disconnect disconnect(const JsonNode& step, const KnownIds& ids) {
    Disconnect out;
    out.id = parse::knownId(step.at("disconnect"), ids, true);
    if (auto code = step.find("code")) {
        out.code = static_cast<int>(code->integer(1000, 4999));
        if (!ports::isSendableCloseCode(out.code)) code->fail("is not a close code a client may send");
    }
    out.reason = step.string("reason", "");
    if (out.reason.size() > ports::kMaxCloseReasonBytes) step.at("reason").fail("is longer than 123 bytes");
    return out;
}

/// The live-typing steps: one dictation at a time, each ended by exactly one settle or retract.
Action liveStep(const JsonNode& value, std::string_view kind, KnownIds& ids) {
    if (kind == "liveStart") {
        if (ids.liveOpen) value.fail("starts a dictation while the one above is not settled or retracted");
        ids.liveOpen = true;
        value.allowOnly({"app"});
        LiveStart out;
        if (auto app = value.find("app")) out.app = parse::appRef(*app);
        return out;
    }
    if (!ids.liveOpen) value.fail("needs a \"liveStart\" above it whose dictation is still going on");
    if (kind == "liveUpdate") return LiveUpdate{value.string()};
    ids.liveOpen = false;
    if (kind == "liveSettle") return LiveSettle{value.string()};
    value.allowOnly({});
    return LiveRetract{};
}

Action action(const JsonNode& step, std::string_view kind, KnownIds& ids) {
    const JsonNode value = step.at(kind);
    if (kind == "key") {
        UserKey key{parse::chord(value), KeyAction::tap};
        const std::string name = step.string("action", "tap");
        const std::pair<std::string_view, KeyAction> actions[] = {
            {"tap", KeyAction::tap}, {"press", KeyAction::press}, {"release", KeyAction::release}, {"repeat", KeyAction::repeat}};
        const auto* found = std::find_if(std::begin(actions), std::end(actions),
                                         [&](const auto& entry) { return entry.first == name; });
        if (found == std::end(actions)) step.at("action").fail("is \"tap\", \"press\", \"release\" or \"repeat\"");
        key.action = found->second;
        if (key.action != KeyAction::tap && !key.chord.modifierKeys.empty()) {
            value.fail("only a tap takes a chord; press and release one key per step");
        }
        return key;
    }
    if (kind == "post") return postKeys(step);
    if (kind == "type") {
        TypeText type{value.string()};
        if (type.text.size() > kMaxTypedBytes) value.fail("is longer than 100000 bytes");
        return type;
    }
    if (kind == "activate") return Activate{parse::appRef(value)};
    if (kind == "focus") return Focus{parse::fieldRef(value)};
    if (kind == "select") return select(step);
    if (kind == "copy") return copy(value);
    if (kind == "request") return request(value, ids);
    if (kind == "connect") return connect(value, ids);
    if (kind == "send") return sendFrame(value, ids);
    if (kind == "disconnect") return disconnect(step, ids);
    if (kind == "cancel") {
        const std::string id = value.string();
        if (!ids.requests.contains(id) && !ids.connections.contains(id)) {
            value.fail("names no request or connection started by a step above");
        }
        return Cancel{id};
    }
    if (kind == "wait") return Wait{value.seconds(kMaxScenarioSeconds)};
    if (kind == "swallowEscape") return SwallowEscape{value.boolean()};
    if (kind == "suppressFn") return SuppressFn{value.seconds(kMaxScenarioSeconds)};
    if (kind == "disableTap") {
        const std::string by = value.string();
        if (by != "timeout" && by != "userInput") value.fail("is \"timeout\" or \"userInput\"");
        return DisableTap{by == "timeout" ? ports::KeyEventKind::tapDisabledByTimeout
                                          : ports::KeyEventKind::tapDisabledByUserInput};
    }
    if (kind == "say") return Say{value.string()};
    if (kind == "voiceFails") {
        const std::string error = value.string();
        if (!parse::isVoiceError(error)) value.fail("is \"needLogin\", \"noMic\", \"connect\" or \"server\"");
        return VoiceFails{error};
    }
    if (kind == "lookup") {
        value.allowOnly({"axOnly"});
        return Lookup{value.boolean("axOnly", false)};
    }
    if (kind == "insert") {
        value.allowOnly({"text", "app"});
        Insert out{value.at("text").string(), std::nullopt};
        if (out.text.size() > kMaxTypedBytes) value.at("text").fail("is longer than 100000 bytes");
        if (auto app = value.find("app")) out.app = parse::appRef(*app);
        return out;
    }
    if (kind.starts_with("live")) {
        Action out = liveStep(value, kind, ids);
        if (const auto* update = std::get_if<LiveUpdate>(&out); update && update->text.size() > kMaxTypedBytes) {
            value.fail("is longer than 100000 bytes");
        }
        if (const auto* settle = std::get_if<LiveSettle>(&out); settle && settle->text.size() > kMaxTypedBytes) {
            value.fail("is longer than 100000 bytes");
        }
        return out;
    }
    return Expect{parse::expectation(value, ids)};
}

constexpr std::initializer_list<std::string_view> kStepKinds = {
    "key", "post", "type", "activate", "focus", "select", "copy", "request", "connect", "send", "disconnect", "cancel",
    "wait", "expect", "swallowEscape", "suppressFn", "disableTap", "lookup", "insert", "liveStart", "liveUpdate",
    "liveSettle", "liveRetract", "say", "voiceFails"};

/// Fails for a step that names no kind this version knows, saying which member it took for one.
void requireKnownKind(const JsonNode& node) {
    if (!node.isObject()) node.fail("a step is an object");
    for (const auto& [key, value] : node.json().items()) {
        if (std::find(kStepKinds.begin(), kStepKinds.end(), key) != kStepKinds.end()) return;
    }
    for (const auto& [key, value] : node.json().items()) {
        if (key != "at" && key != "note") node.fail("unknown step kind \"" + key + "\"");
    }
}

Step step(const JsonNode& node, std::size_t index, KnownIds& ids, double& time) {
    requireKnownKind(node);
    const std::string_view kind = node.oneOf(kStepKinds, "step kind");
    if (kind == "key") {
        node.allowOnly({"at", "note", "key", "action"});
    } else if (kind == "post") {
        node.allowOnly({"at", "note", "post", "via"});
    } else if (kind == "select") {
        node.allowOnly({"at", "note", "select", "field"});
    } else if (kind == "disconnect") {
        node.allowOnly({"at", "note", "disconnect", "code", "reason"});
    } else {
        node.allowOnly({"at", "note", kind});
    }
    (void)node.string("note", "");
    Step out{index, std::nullopt, Wait{}};
    if (auto at = node.find("at")) {
        out.at = at->seconds(kMaxScenarioSeconds);
        if (*out.at < time) {
            at->fail("comes before the time the steps above already reached (" + secondsText(time) + " s)");
        }
        time = *out.at;
    }
    out.action = action(node, kind, ids);
    if (const auto* wait = std::get_if<Wait>(&out.action)) {
        time += wait->seconds;
        if (time > kMaxScenarioSeconds) node.at("wait").fail("takes the scenario past one day of virtual time");
    }
    return out;
}

}  // namespace

std::string stepPath(std::size_t index) { return "steps[" + std::to_string(index) + "]"; }

Scenario parseScenario(const nlohmann::json& document) {
    const JsonNode root(document, "");
    root.allowOnly({"version", "description", "desktop", "services", "app", "steps"});
    Scenario out;
    const JsonNode version = root.at("version");
    if (!version.json().is_number_integer() || version.json().get<std::int64_t>() != kFormatVersion) {
        version.fail("this veska-sim reads scenario format version " + std::to_string(kFormatVersion) + " only");
    }
    out.description = root.string("description", "");
    if (auto desktop = root.find("desktop")) {
        if (!desktop->isObject()) desktop->fail("must be an object (the simulated desktop's description)");
        out.desktop = desktop->json();
    }
    if (auto services = root.find("services")) out.servers = parse::services(*services);
    if (auto app = root.find("app")) out.app = parse::appSpec(*app);
    const JsonNode steps = root.at("steps");
    KnownIds ids;
    double time = 0;
    for (std::size_t i = 0, n = steps.size(kMaxSteps); i < n; ++i) out.steps.push_back(step(steps[i], i, ids, time));
    if (!out.app) {
        for (const Step& s : out.steps) {
            if (std::holds_alternative<Say>(s.action) || std::holds_alternative<VoiceFails>(s.action)) {
                steps[s.index].fail("speaks to Veska's voice stream: the scenario needs an \"app\" member");
            }
        }
    }
    return out;
}

Scenario parseScenarioText(std::string_view text) {
    if (text.size() > kMaxScenarioBytes) throw ScenarioError("the file is larger than 16 MiB");
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        // The library's message quotes the text it read, which may be a secret: keep the kind only.
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i + 1 < error.byte && i < text.size(); ++i) {
            column = text[i] == '\n' ? 1 : column + 1;
            line += text[i] == '\n' ? 1 : 0;
        }
        std::string kind = error.what();
        if (auto colon = kind.find(": "); colon != std::string::npos) kind = kind.substr(colon + 2);
        if (auto dash = kind.find(" - "); dash != std::string::npos) kind.resize(dash);
        throw ScenarioError("line " + std::to_string(line) + ", column " + std::to_string(column) +
                            ": not valid JSON (" + kind + ")");
    }
    return parseScenario(document);
}

}  // namespace veska::scenario
