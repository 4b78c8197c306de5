// Typed, path-aware access to the values of a scenario file.
#include "main/scenario/JsonNode.h"

#include <cmath>

namespace veska::scenario {

namespace {

std::string typeName(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::null: return "null";
    case nlohmann::json::value_t::object: return "an object";
    case nlohmann::json::value_t::array: return "a list";
    case nlohmann::json::value_t::string: return "a string";
    case nlohmann::json::value_t::boolean: return "a boolean";
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
    case nlohmann::json::value_t::number_float: return "a number";
    default: return "an unsupported value";
    }
}

std::string joined(std::initializer_list<std::string_view> names) {
    std::string out;
    for (auto name : names) {
        if (!out.empty()) out += ", ";
        out += '"';
        out += name;
        out += '"';
    }
    return out;
}

}  // namespace

void JsonNode::fail(std::string_view what) const {
    throw ScenarioError((path_.empty() ? std::string("top level") : path_) + ": " + std::string(what));
}

JsonNode JsonNode::at(std::string_view key) const {
    auto member = find(key);
    if (!member) fail("needs \"" + std::string(key) + "\"");
    return *member;
}

std::optional<JsonNode> JsonNode::find(std::string_view key) const {
    if (!isObject()) fail("must be an object, not " + typeName(*value_));
    auto it = value_->find(key);
    if (it == value_->end() || it->is_null()) return std::nullopt;
    const std::string child = path_.empty() ? std::string(key) : path_ + "." + std::string(key);
    return JsonNode(*it, child);
}

JsonNode JsonNode::operator[](std::size_t index) const {
    return JsonNode((*value_)[index], path_ + "[" + std::to_string(index) + "]");
}

std::size_t JsonNode::size(std::size_t limit) const {
    if (!isArray()) fail("must be a list, not " + typeName(*value_));
    if (value_->size() > limit) fail("has more than " + std::to_string(limit) + " entries");
    return value_->size();
}

void JsonNode::allowOnly(std::initializer_list<std::string_view> allowed) const {
    if (!isObject()) fail("must be an object, not " + typeName(*value_));
    for (const auto& [key, member] : value_->items()) {
        bool known = false;
        for (auto name : allowed) known = known || name == key;
        if (!known) fail("unknown field \"" + key + "\" (known: " + joined(allowed) + ")");
    }
}

std::string_view JsonNode::oneOf(std::initializer_list<std::string_view> kinds, std::string_view what) const {
    if (!isObject()) fail("must be an object, not " + typeName(*value_));
    std::optional<std::string_view> found;
    for (auto kind : kinds) {
        if (!value_->contains(kind)) continue;
        if (found) fail("holds both \"" + std::string(*found) + "\" and \"" + std::string(kind) + "\"; a " +
                        std::string(what) + " has exactly one");
        found = kind;
    }
    if (!found) fail("needs one " + std::string(what) + " of " + joined(kinds));
    return *found;
}

std::string JsonNode::string() const {
    if (!isString()) fail("must be a string, not " + typeName(*value_));
    return value_->get<std::string>();
}

bool JsonNode::boolean() const {
    if (!value_->is_boolean()) fail("must be true or false, not " + typeName(*value_));
    return value_->get<bool>();
}

std::int64_t JsonNode::integer(std::int64_t min, std::int64_t max) const {
    if (!value_->is_number_integer() && !value_->is_number_unsigned()) {
        fail("must be a whole number, not " + typeName(*value_));
    }
    if (value_->is_number_unsigned() && value_->get<std::uint64_t>() > static_cast<std::uint64_t>(max)) {
        fail("must be at most " + std::to_string(max));
    }
    const auto number = value_->get<std::int64_t>();
    if (number < min || number > max) {
        fail("must be between " + std::to_string(min) + " and " + std::to_string(max));
    }
    return number;
}

double JsonNode::seconds(double max) const {
    if (!isNumber()) fail("must be a number of seconds, not " + typeName(*value_));
    const double value = value_->get<double>();
    if (!std::isfinite(value) || value < 0 || value > max) {
        fail("must be a number of seconds from 0 to " + std::to_string(static_cast<long long>(max)));
    }
    return value;
}

std::string JsonNode::string(std::string_view key, std::string fallback) const {
    auto member = find(key);
    return member ? member->string() : std::move(fallback);
}

bool JsonNode::boolean(std::string_view key, bool fallback) const {
    auto member = find(key);
    return member ? member->boolean() : fallback;
}

double JsonNode::seconds(std::string_view key, double max, double fallback) const {
    auto member = find(key);
    return member ? member->seconds(max) : fallback;
}

}  // namespace veska::scenario
