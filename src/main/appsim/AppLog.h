// What the controller did to the parts a user sees (HUD, menu icon, windows), in time order.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/Executor.h"

namespace veska::appsim {

struct AppEvent {
    double t = 0;
    std::string event;
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
};

/// Appends events stamped with the main executor's clock; readers take what is new.
class AppLog {
public:
    explicit AppLog(rt::Executor& main) : main_(main) {}
    void add(std::string event, nlohmann::ordered_json fields = nlohmann::ordered_json::object()) {
        events_.push_back({main_.now(), std::move(event), std::move(fields)});
    }
    [[nodiscard]] const std::vector<AppEvent>& events() const { return events_; }
    /// Events added since the last call.
    std::vector<AppEvent> takeNew() {
        std::vector<AppEvent> out(events_.begin() + static_cast<std::ptrdiff_t>(read_), events_.end());
        read_ = events_.size();
        return out;
    }
    /// How many events named `event` were added.
    [[nodiscard]] std::size_t count(const std::string& event) const {
        std::size_t n = 0;
        for (const auto& e : events_) n += e.event == event ? 1 : 0;
        return n;
    }

private:
    rt::Executor& main_;
    std::vector<AppEvent> events_;
    std::size_t read_ = 0;
};

}  // namespace veska::appsim
