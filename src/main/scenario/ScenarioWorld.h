// Everything a scenario runs on: the virtual loop, the simulated desktop, the fake servers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "main/scenario/Scenario.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "platform/sim/SimWebSocketClient.h"
#include "platform/sim/SimWebSocketServer.h"
#include "runtime/VirtualLoop.h"

namespace veska::scenario {

/// Owns the loop (virtual time starts at 0), the desktop built from the scenario's
/// description, one fake server per origin and the simulated HTTP and WebSocket clients
/// attached to them (their exchanges run on the loop's "network" lane). The product's
/// components are handed these as their ports. Destroy whatever uses the clients first.
class ScenarioWorld {
public:
    /// Builds the world; throws `ScenarioError` for a desktop description that cannot be built.
    explicit ScenarioWorld(const Scenario& scenario);
    ScenarioWorld(const ScenarioWorld&) = delete;
    ScenarioWorld& operator=(const ScenarioWorld&) = delete;

    [[nodiscard]] rt::VirtualLoop& loop() { return loop_; }
    [[nodiscard]] sim::SimDesktop& desktop() { return *desktop_; }
    [[nodiscard]] sim::SimHttpClient& http() { return http_; }
    [[nodiscard]] sim::SimWebSocketClient& webSockets() { return webSockets_; }
    [[nodiscard]] const std::vector<std::unique_ptr<sim::SimHttpServer>>& httpServers() const { return httpServers_; }
    [[nodiscard]] const std::vector<std::unique_ptr<sim::SimWebSocketServer>>& webSocketServers() const {
        return webSocketServers_;
    }
    [[nodiscard]] sim::SimHttpServer* httpServer(const std::string& origin) const;

    /// Checks that every application, field and server the steps name exists; throws
    /// `ScenarioError` naming the step.
    void checkReferences(const std::vector<Step>& steps);

    /// The process id of `app`; 0 when no running application matches it (or two do).
    [[nodiscard]] std::int32_t pidOf(const AppRef& app) const;
    /// How the trace names an application: its name, else its bundle identifier, else its pid.
    [[nodiscard]] nlohmann::ordered_json appLabel(std::int32_t pid) const;
    /// The element `field` names now; null when there is none or it holds no text.
    [[nodiscard]] sim::SimElement* field(const FieldRef& field);
    /// The focused text element of the application in front; null when there is none.
    [[nodiscard]] sim::SimElement* focusedFieldInFront();
    /// Every element holding text, application by application in launch order, depth first.
    [[nodiscard]] std::vector<sim::SimElement*> textElements();

private:
    void checkField(const FieldRef& field, const std::string& where);
    void checkApp(const AppRef& app, const std::string& where) const;

    rt::VirtualLoop loop_;
    std::unique_ptr<sim::SimDesktop> desktop_;
    std::vector<std::unique_ptr<sim::SimHttpServer>> httpServers_;
    std::vector<std::unique_ptr<sim::SimWebSocketServer>> webSocketServers_;
    sim::SimHttpClient http_{loop_.lane("network")};
    sim::SimWebSocketClient webSockets_{loop_.lane("network")};
};

}  // namespace veska::scenario
