// Building a scenario's world and finding the applications and fields its steps name.
#include "main/scenario/ScenarioWorld.h"
#include "main/scenario/Overloaded.h"

#include "main/scenario/JsonNode.h"

namespace veska::scenario {

namespace {

/// Most elements one look-up walks, so that a huge tree cannot stall a step.
constexpr std::size_t kMaxWalkedElements = 100'000;

}  // namespace

ScenarioWorld::ScenarioWorld(const Scenario& scenario) {
    try {
        desktop_ = sim::SimDesktop::fromJson(loop_.main(), scenario.desktop);
    } catch (const sim::SimDescriptionError& error) {
        std::string what = error.what();
        const std::string prefix = "simulated desktop description: ";
        if (what.rfind(prefix, 0) == 0) what.erase(0, prefix.size());
        throw ScenarioError(what.rfind("top level", 0) == 0 ? "desktop" + what.substr(9) : "desktop." + what);
    }
    for (const ServerSpec& desc : scenario.servers) {
        sim::SimSecretMask* mask = nullptr;
        if (desc.webSocket) {
            auto& server = *webSocketServers_.emplace_back(std::make_unique<sim::SimWebSocketServer>(desc.origin));
            for (const auto& endpoint : desc.endpoints) server.endpoint(endpoint);
            webSockets_.attach(server);
            mask = &server.secrets();
        } else {
            auto& server = *httpServers_.emplace_back(std::make_unique<sim::SimHttpServer>(desc.origin));
            for (const auto& route : desc.routes) server.route(route);
            http_.attach(server);
            mask = &server.secrets();
        }
        for (const auto& secret : desc.secrets) mask->addSecret(secret);
        for (const auto& name : desc.sensitiveHeaders) mask->addSensitiveHeader(name);
    }
}

sim::SimHttpServer* ScenarioWorld::httpServer(const std::string& origin) const {
    for (const auto& server : httpServers_) {
        if (server->origin() == origin) return server.get();
    }
    return nullptr;
}

std::int32_t ScenarioWorld::pidOf(const AppRef& app) const {
    std::int32_t found = 0;
    for (const auto& running : desktop_->workspace().runningApplications()) {
        const bool matches = app.pid != 0 ? running.pid == app.pid
                                          : running.localizedName == app.name || running.bundleIdentifier == app.name;
        if (!matches) continue;
        if (found != 0) return 0;
        found = running.pid;
    }
    return found;
}

nlohmann::ordered_json ScenarioWorld::appLabel(std::int32_t pid) const {
    const sim::SimApp* app = desktop_->workspace().find(pid);
    if (app == nullptr) return pid;
    if (!app->info.localizedName.empty()) return app->info.localizedName;
    if (!app->info.bundleIdentifier.empty()) return app->info.bundleIdentifier;
    return pid;
}

std::vector<sim::SimElement*> ScenarioWorld::textElements() {
    std::vector<sim::SimElement*> out;
    auto& tree = desktop_->elements();
    std::size_t walked = 0;
    for (const auto& app : desktop_->workspace().runningApplications()) {
        std::vector<std::uint64_t> pending{tree.applicationElement(app.pid)};
        while (!pending.empty() && walked < kMaxWalkedElements) {
            sim::SimElement* element = tree.find(pending.back());
            pending.pop_back();
            ++walked;
            if (element == nullptr) continue;
            if (element->hasText) out.push_back(element);
            pending.insert(pending.end(), element->children.rbegin(), element->children.rend());
        }
    }
    return out;
}

sim::SimElement* ScenarioWorld::field(const FieldRef& ref) {
    auto& tree = desktop_->elements();
    sim::SimElement* element = nullptr;
    if (ref.element != 0) {
        element = tree.find(ref.element);
    } else if (const std::int32_t pid = pidOf(ref.app); pid == 0) {
        return nullptr;
    } else if (!ref.title) {
        element = tree.find(tree.focusedOf(pid));
    } else {
        for (sim::SimElement* candidate : textElements()) {
            if (candidate->pid == pid && candidate->title == *ref.title) return candidate;
        }
    }
    return element != nullptr && element->hasText ? element : nullptr;
}

sim::SimElement* ScenarioWorld::focusedFieldInFront() {
    const std::int32_t front = desktop_->workspace().frontmostPid();
    if (front == 0) return nullptr;
    auto& tree = desktop_->elements();
    sim::SimElement* element = tree.find(tree.focusedOf(front));
    return element != nullptr && element->hasText ? element : nullptr;
}

void ScenarioWorld::checkApp(const AppRef& app, const std::string& where) const {
    if (pidOf(app) != 0) return;
    const std::string name = app.pid != 0 ? "process " + std::to_string(app.pid) : "\"" + app.name + "\"";
    throw ScenarioError(where + ": no single running application is " + name);
}

void ScenarioWorld::checkField(const FieldRef& ref, const std::string& where) {
    if (ref.element != 0) {
        const sim::SimElement* element = desktop_->elements().find(ref.element);
        if (element == nullptr || !element->hasText) {
            throw ScenarioError(where + ": element " + std::to_string(ref.element) + " is not a text element");
        }
        return;
    }
    checkApp(ref.app, where);
    if (ref.title && field(ref) == nullptr) {
        throw ScenarioError(where + ": the application holds no text element titled \"" + *ref.title + "\"");
    }
}

void ScenarioWorld::checkReferences(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        const std::string where = stepPath(step.index);
        std::visit(Overloaded{
                       [&](const Activate& a) { checkApp(a.app, where + ".activate"); },
                       [&](const Focus& f) { checkField(f.field, where + ".focus"); },
                       [&](const Select& s) {
                           if (s.field) checkField(*s.field, where + ".field");
                       },
                       [&](const Expect& e) {
                           if (const auto* f = std::get_if<ExpectField>(&e.what)) checkField(f->field, where + ".expect.field");
                           if (const auto* k = std::get_if<ExpectKeys>(&e.what)) checkApp(k->app, where + ".expect.keysReceived");
                           if (const auto* front = std::get_if<ExpectFront>(&e.what); front && front->app) {
                               checkApp(*front->app, where + ".expect.front");
                           }
                           if (const auto* r = std::get_if<ExpectRequests>(&e.what); r && httpServer(r->server) == nullptr) {
                               throw ScenarioError(where + ".expect.requests: no HTTP server under \"services\" has this origin");
                           }
                       },
                       [&](const Insert& i) {
                           if (i.app) checkApp(*i.app, where + ".insert.app");
                       },
                       [&](const LiveStart& l) {
                           if (l.app) checkApp(*l.app, where + ".liveStart.app");
                       },
                       [](const auto&) {},
                   },
                   step.action);
    }
}

}  // namespace veska::scenario
