// Reading the expectations of a scenario: what the user should observe at a step's time.
#include <algorithm>
#include <iterator>

#include "core/desktop/TextSource.h"
#include "main/scenario/ParseParts.h"
#include "platform/sim/SimUrl.h"

namespace veska::scenario::parse {

namespace {

constexpr std::size_t kMaxExpectedItems = 10'000;

ExpectField field(const JsonNode& node) {
    node.allowOnly({"field", "text", "selection"});
    ExpectField out{fieldRef(node.at("field")), std::nullopt, std::nullopt};
    if (auto text = node.find("text")) out.text = text->string();
    if (auto selection = node.find("selection")) out.selection = range(*selection);
    if (!out.text && !out.selection) node.fail("checks nothing: give \"text\" or \"selection\"");
    return out;
}

ExpectKeys keysReceived(const JsonNode& node) {
    node.allowOnly({"keysReceived", "keys"});
    ExpectKeys out{appRef(node.at("keysReceived")), {}};
    const JsonNode keys = node.at("keys");
    for (std::size_t i = 0, n = keys.size(kMaxExpectedItems); i < n; ++i) out.keys.push_back(chord(keys[i]));
    return out;
}

ExpectRequests requests(const JsonNode& node) {
    node.allowOnly({"requests", "count", "body", "headers"});
    ExpectRequests out;
    const JsonNode which = node.at("requests");
    const JsonNode server = which.isObject() ? which.at("server") : which;
    if (which.isObject()) {
        which.allowOnly({"server", "method", "path"});
        if (auto m = which.find("method")) out.method = method(*m);
        if (auto p = which.find("path")) out.path = p->string();
    }
    auto url = sim::SimUrl::parse(server.string());
    if (!url) server.fail("is the origin of a server under \"services\"");
    out.server = url->origin();
    if (auto count = node.find("count")) out.count = static_cast<std::size_t>(count->integer(0, INT32_MAX));
    if (auto body = node.find("body")) out.body = body->string();
    if (auto fields = node.find("headers")) out.headers = headers(*fields).fields();
    if (!out.count && !out.body && out.headers.empty()) node.fail("checks nothing: give \"count\", \"body\" or \"headers\"");
    return out;
}

ExpectResponse response(const JsonNode& node, const KnownIds& ids) {
    node.allowOnly({"response", "status", "body", "error", "ended"});
    ExpectResponse out;
    out.id = knownId(node.at("response"), ids, false);
    if (auto status = node.find("status")) out.status = static_cast<int>(status->integer(0, 599));
    if (auto body = node.find("body")) out.body = body->string();
    if (auto error = node.find("error")) out.error = error->string();
    if (auto ended = node.find("ended")) out.ended = ended->boolean();
    if (!out.status && !out.body && !out.error && !out.ended) {
        node.fail("checks nothing: give \"status\", \"body\", \"error\" or \"ended\"");
    }
    return out;
}

ExpectWebSocket websocket(const JsonNode& node, const KnownIds& ids) {
    node.allowOnly({"websocket", "state", "error", "status", "received"});
    ExpectWebSocket out;
    out.id = knownId(node.at("websocket"), ids, true);
    if (auto state = node.find("state")) {
        out.state = state->string();
        if (*out.state != "connecting" && *out.state != "open" && *out.state != "closed" && *out.state != "failed") {
            state->fail("is \"connecting\", \"open\", \"closed\" or \"failed\"");
        }
    }
    if (auto error = node.find("error")) out.error = error->string();
    if (auto status = node.find("status")) out.status = static_cast<int>(status->integer(0, 599));
    if (auto received = node.find("received")) {
        out.received.emplace();
        for (std::size_t i = 0, n = received->size(kMaxExpectedItems); i < n; ++i) {
            out.received->push_back((*received)[i].string());
        }
    }
    if (!out.state && !out.error && !out.status && !out.received) {
        node.fail("checks nothing: give \"state\", \"error\", \"status\" or \"received\"");
    }
    return out;
}

ExpectGestures gestures(const JsonNode& node) {
    node.allowOnly({"gestures"});
    static constexpr std::string_view kNames[] = {"onSTTToggle", "onSTTHoldStart", "onSTTHoldEnd",
                                                  "onRead",      "onTranslate",    "onToggleOutput",
                                                  "onFixSelection", "onCycleMode", "onCancel"};
    const JsonNode list = node.at("gestures");
    ExpectGestures out;
    for (std::size_t i = 0, n = list.size(kMaxExpectedItems); i < n; ++i) {
        std::string name = list[i].string();
        if (std::find(std::begin(kNames), std::end(kNames), name) == std::end(kNames)) {
            list[i].fail("is not a gesture (onSTTToggle, onSTTHoldStart, onSTTHoldEnd, onRead, onTranslate, "
                         "onToggleOutput, onFixSelection, onCycleMode, onCancel)");
        }
        out.names.push_back(std::move(name));
    }
    return out;
}

ExpectLookup lookup(const JsonNode& node) {
    node.allowOnly({"lookup", "source"});
    ExpectLookup out;
    // null is meaningful: the look-up found no selection.
    if (!node.json()["lookup"].is_null()) out.text = node.at("lookup").string();
    if (auto source = node.find("source")) {
        out.source = source->string();
        if (!textSourceFromRaw(*out.source)) source->fail("is \"selection\", \"field\" or \"clipboard\"");
    }
    return out;
}

ExpectHUD hud(const JsonNode& node) {
    node.allowOnly({"hud", "text"});
    ExpectHUD out{node.at("hud").string(), std::nullopt};
    static constexpr std::string_view kStates[] = {"error", "info", "idle", "listening", "transcribing", "done",
                                                   "stopped", "readying", "speaking", "translating", "composing",
                                                   "fixing"};
    if (std::find(std::begin(kStates), std::end(kStates), out.state) == std::end(kStates)) {
        node.at("hud").fail("is not a HUD state (idle, listening, transcribing, done, error, info...)");
    }
    if (auto text = node.find("text")) out.text = text->string();
    return out;
}

}  // namespace

Expectation expectation(const JsonNode& node, const KnownIds& ids) {
    const std::string_view subject =
        node.oneOf({"field", "clipboard", "front", "keysReceived", "requests", "response", "websocket", "gestures",
                    "lookup", "hud", "recordings"},
                   "subject");
    if (subject == "hud") return hud(node);
    if (subject == "recordings") {
        node.allowOnly({"recordings"});
        return ExpectRecordings{static_cast<std::size_t>(node.at("recordings").integer(0, 1'000'000))};
    }
    if (subject == "field") return field(node);
    if (subject == "keysReceived") return keysReceived(node);
    if (subject == "requests") return requests(node);
    if (subject == "response") return response(node, ids);
    if (subject == "websocket") return websocket(node, ids);
    if (subject == "gestures") return gestures(node);
    if (subject == "lookup") return lookup(node);
    node.allowOnly({subject});
    // null is meaningful here: nothing on the clipboard, no application in front.
    const bool none = node.json()[std::string(subject)].is_null();
    if (subject == "clipboard") return ExpectClipboard{none ? std::nullopt : std::optional(node.at(subject).string())};
    return ExpectFront{none ? std::nullopt : std::optional(appRef(node.at(subject)))};
}

}  // namespace veska::scenario::parse
