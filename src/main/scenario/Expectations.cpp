// Each kind of expectation, compared against the state of the world.
#include "main/scenario/Expectations.h"

#include "core/ui/HUDPresentation.h"
#include "main/scenario/Overloaded.h"

#include <algorithm>

#include "platform/sim/SimKeyNames.h"

namespace veska::scenario {

namespace {

using Fields = TraceWriter::Fields;

/// Adds one compared member; the verdict fails when the two differ.
void compare(Verdict& verdict, const char* name, Fields expected, Fields actual) {
    if (expected != actual) verdict.ok = false;
    verdict.expected[name] = std::move(expected);
    verdict.actual[name] = std::move(actual);
}

std::string describe(const AppRef& app) { return app.pid != 0 ? "process " + std::to_string(app.pid) : app.name; }

std::string describe(const FieldRef& field) {
    if (field.element != 0) return "element " + std::to_string(field.element);
    return describe(field.app) + (field.title ? " \"" + *field.title + "\"" : std::string(" (focused)"));
}

Fields rangeJson(const ports::TextRange& range) { return Fields::array({range.location, range.length}); }

Verdict field(const ExpectField& e, ScenarioWorld& world) {
    Verdict v{true, "field " + describe(e.field)};
    const sim::SimElement* element = world.field(e.field);
    if (e.text) compare(v, "text", *e.text, element ? Fields(element->textUtf8()) : Fields(nullptr));
    if (e.selection) compare(v, "selection", rangeJson(*e.selection), element ? rangeJson(element->selection) : Fields(nullptr));
    return v;
}

Verdict clipboard(const ExpectClipboard& e, ScenarioWorld& world) {
    Verdict v{true, "clipboard"};
    const auto text = world.desktop().pasteboard().plainText();
    compare(v, "text", e.text ? Fields(*e.text) : Fields(nullptr), text ? Fields(*text) : Fields(nullptr));
    return v;
}

Verdict front(const ExpectFront& e, ScenarioWorld& world) {
    Verdict v{true, "front"};
    const std::int32_t actual = world.desktop().workspace().frontmostPid();
    const std::int32_t expected = e.app ? world.pidOf(*e.app) : 0;
    compare(v, "app", expected != 0 ? world.appLabel(expected) : Fields(nullptr),
            actual != 0 ? world.appLabel(actual) : Fields(nullptr));
    return v;
}

Verdict keysReceived(const ExpectKeys& e, ScenarioWorld& world) {
    Verdict v{true, "keys received by " + describe(e.app)};
    const std::int32_t pid = world.pidOf(e.app);
    Fields expected = Fields::array();
    for (const KeyChord& chord : e.keys) expected.push_back(chordName(chord.key, chord.modifiers()));
    Fields actual = Fields::array();
    for (const auto& entry : world.desktop().trace().entries()) {
        if (entry.kind != sim::TraceKind::keyReceived || entry.pid != pid || !entry.down) continue;
        actual.push_back(chordName(entry.keyCode, entry.flags & ports::flags::kModifierMask));
    }
    compare(v, "keys", std::move(expected), std::move(actual));
    return v;
}

Verdict requests(const ExpectRequests& e, ScenarioWorld& world) {
    std::string what = "requests to " + e.server;
    if (e.method) what += " " + std::string(ports::methodName(*e.method));
    if (e.path) what += " " + *e.path;
    Verdict v{true, what};
    std::vector<const sim::RecordedHttpRequest*> matching;
    if (const sim::SimHttpServer* server = world.httpServer(e.server)) {
        for (const auto& r : server->requests()) {
            if ((!e.method || r.method == *e.method) && (!e.path || r.path == *e.path)) matching.push_back(&r);
        }
    }
    if (e.count) compare(v, "count", *e.count, matching.size());
    const sim::RecordedHttpRequest* last = matching.empty() ? nullptr : matching.back();
    if (e.body) compare(v, "body", *e.body, last ? Fields(last->body) : Fields(nullptr));
    for (const auto& [name, value] : e.headers) {
        const auto actual = last ? last->headers.value(name) : std::nullopt;
        const std::string label = "header " + name;
        compare(v, label.c_str(), value, actual ? Fields(*actual) : Fields(nullptr));
    }
    return v;
}

Verdict response(const ExpectResponse& e, const ClientExchanges& clients) {
    Verdict v{true, "response " + e.id};
    const ResponseState* state = clients.response(e.id);
    const ResponseState none;
    const ResponseState& s = state ? *state : none;
    if (e.status) compare(v, "status", *e.status, s.status);
    if (e.body) compare(v, "body", *e.body, s.body);
    if (e.error) compare(v, "error", *e.error, s.error ? Fields(*s.error) : Fields(nullptr));
    if (e.ended) compare(v, "ended", *e.ended, s.ended);
    return v;
}

Verdict webSocket(const ExpectWebSocket& e, const ClientExchanges& clients) {
    Verdict v{true, "websocket " + e.id};
    const SocketState* state = clients.socket(e.id);
    const SocketState none;
    const SocketState& s = state ? *state : none;
    if (e.state) compare(v, "state", *e.state, s.state);
    if (e.error) compare(v, "error", *e.error, s.error ? Fields(*s.error) : Fields(nullptr));
    if (e.status) compare(v, "status", *e.status, s.status);
    if (e.received) compare(v, "received", *e.received, s.received);
    return v;
}

Verdict lookup(const ExpectLookup& e, const std::optional<FoundSelection>& last) {
    Verdict v{true, "last selection look-up"};
    const bool found = last && last->text;
    compare(v, "text", e.text ? Fields(*e.text) : Fields(nullptr), found ? Fields(*last->text) : Fields(nullptr));
    if (e.source) compare(v, "source", *e.source, found ? Fields(last->source) : Fields(nullptr));
    if (!last) {
        // Before any look-up has ended there is nothing to compare with, whatever was expected.
        v.ok = false;
        v.actual = Fields{{"lookup", "none finished"}};
    }
    return v;
}

Verdict hud(const ExpectHUD& e, appsim::DictationWorld* app) {
    Verdict v{true, "HUD"};
    if (app == nullptr) {
        v.ok = false;
        v.expected = Fields{{"hud", e.state}};
        v.actual = Fields{{"hud", "Veska is not running (no \"app\")"}};
        return v;
    }
    const HUDModel& model = app->hud();
    compare(v, "hud", e.state, std::string(name(model.state.kind())));
    if (e.text) {
        std::string shown = HUDPresentation::pillText(model, Translator::current(app->prefs));
        // A long message is cut in the pill; the expectation may name the whole of it.
        if (!model.state.message().empty() && *e.text == model.state.message()) shown = model.state.message();
        compare(v, "text", *e.text, shown);
    }
    return v;
}

Verdict recordings(const ExpectRecordings& e, appsim::DictationWorld* app) {
    Verdict v{true, "recorded files"};
    compare(v, "recordings", e.count, app ? app->mic.files.size() : std::size_t{0});
    return v;
}

}  // namespace

Verdict check(const Expectation& expectation, ScenarioWorld& world, const ClientExchanges& clients,
              const ProductState& product) {
    return std::visit(Overloaded{
                          [&](const ExpectField& e) { return field(e, world); },
                          [&](const ExpectClipboard& e) { return clipboard(e, world); },
                          [&](const ExpectFront& e) { return front(e, world); },
                          [&](const ExpectKeys& e) { return keysReceived(e, world); },
                          [&](const ExpectRequests& e) { return requests(e, world); },
                          [&](const ExpectResponse& e) { return response(e, clients); },
                          [&](const ExpectWebSocket& e) { return webSocket(e, clients); },
                          [&](const ExpectGestures& e) {
                              Verdict v{true, "gestures"};
                              compare(v, "gestures", e.names, product.gesturesFired);
                              return v;
                          },
                          [&](const ExpectLookup& e) { return lookup(e, product.lastLookup); },
                          [&](const ExpectHUD& e) { return hud(e, product.app); },
                          [&](const ExpectRecordings& e) { return recordings(e, product.app); },
                      },
                      expectation);
}

}  // namespace veska::scenario
