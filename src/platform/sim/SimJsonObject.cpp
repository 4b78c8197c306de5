// Strict reading of the objects of a simulated service's script.
#include "platform/sim/SimJsonObject.h"

#include <cmath>

#include "platform/sim/SimScriptReader.h"

namespace veska::sim {

namespace {
const nlohmann::json kEmptyArray = nlohmann::json::array();
}  // namespace

SimJsonObject::SimJsonObject(const nlohmann::json& value, std::string where) : value_(value), where_(std::move(where)) {
    if (!value_.is_object()) fail(where_, "expected an object");
}

void SimJsonObject::fail(const std::string& where, const std::string& what) {
    throw SimScriptError("script " + where + ": " + what);
}

const nlohmann::json* SimJsonObject::find(const char* name) {
    known_.insert(name);
    auto it = value_.find(name);
    if (it == value_.end() || it->is_null()) return nullptr;
    return &*it;
}

bool SimJsonObject::has(const char* name) const {
    auto it = value_.find(name);
    return it != value_.end() && !it->is_null();
}

double SimJsonObject::number(const char* name, double fallback) {
    const auto* v = find(name);
    if (v == nullptr) return fallback;
    if (!v->is_number() || !std::isfinite(v->get<double>())) fail(at(name), "expected a finite number");
    return v->get<double>();
}

double SimJsonObject::seconds(const char* name, double fallback) {
    const double value = number(name, fallback);
    if (value < 0) fail(at(name), "expected seconds ≥ 0");
    return value;
}

int SimJsonObject::integer(const char* name, int fallback, int min, int max) {
    const auto* v = find(name);
    if (v == nullptr) return fallback;
    if (!v->is_number_integer()) fail(at(name), "expected an integer");
    const auto value = v->get<long long>();
    if (value < min || value > max) {
        fail(at(name), "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
    }
    return static_cast<int>(value);
}

std::string SimJsonObject::text(const char* name, const std::string& fallback) {
    const auto* v = find(name);
    if (v == nullptr) return fallback;
    if (!v->is_string()) fail(at(name), "expected a string");
    return v->get<std::string>();
}

bool SimJsonObject::flag(const char* name, bool fallback) {
    const auto* v = find(name);
    if (v == nullptr) return fallback;
    if (!v->is_boolean()) fail(at(name), "expected true or false");
    return v->get<bool>();
}

ports::HttpHeaders SimJsonObject::headers(const char* name) {
    ports::HttpHeaders out;
    const auto* v = find(name);
    if (v == nullptr) return out;
    if (v->is_object()) {
        for (const auto& [key, value] : v->items()) {
            if (!value.is_string()) fail(at(name) + "." + key, "expected a string");
            out.add(key, value.get<std::string>());
        }
        return out;
    }
    if (!v->is_array()) fail(at(name), "expected {\"name\": \"value\"} or [[\"name\", \"value\"], ...]");
    for (std::size_t i = 0; i < v->size(); ++i) {
        const auto& pair = (*v)[i];
        if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string()) {
            fail(at(name) + "[" + std::to_string(i) + "]", "expected [\"name\", \"value\"]");
        }
        out.add(pair[0].get<std::string>(), pair[1].get<std::string>());
    }
    return out;
}

const nlohmann::json& SimJsonObject::array(const char* name) {
    const auto* v = find(name);
    if (v == nullptr) return kEmptyArray;
    if (!v->is_array()) fail(at(name), "expected an array");
    return *v;
}

void SimJsonObject::finish() const {
    for (const auto& [key, value] : value_.items()) {
        if (known_.count(key) == 0) fail(at(key), "unknown field");
    }
}

}  // namespace veska::sim
