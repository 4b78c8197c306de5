// Ordering models by health and keeping their speeds, cool-downs and thinking variants.
#include "core/ai/AIHealth.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace veska {

namespace {

struct PriorRule {
    std::string_view contains;
    double seconds;
};

// The first rule whose text the model name contains gives its assumed answer time.
constexpr std::array<PriorRule, 6> kPriors{{
    {"3.5-flash-lite", 0.9},
    {"flash-lite-latest", 1.0},
    {"2.5-flash-lite", 1.0},
    {"gemma-4-26b", 1.2},
    {"3.1-flash-lite", 1.8},
    {"gemma-4-31b", 2.0},
}};
constexpr double kUnknownPrior = 1.5;

}  // namespace

AIHealth& AIHealth::shared() {
    static AIHealth health;
    return health;
}

std::vector<std::string> AIHealth::order(const std::vector<std::string>& models, double now) {
    std::lock_guard guard(lock_);
    using Key = std::tuple<int, double, std::size_t>;
    std::vector<std::pair<Key, std::string>> keyed;
    keyed.reserve(models.size());
    for (const std::string& model : models) {
        auto cool = coolUntil_.find(model);
        int cooling = cool != coolUntil_.end() && cool->second > now ? 1 : 0;
        auto measured = speed_.find(model);
        double seconds = measured != speed_.end() ? measured->second : prior(model);
        auto first = std::find(models.begin(), models.end(), model);
        auto position = static_cast<std::size_t>(first - models.begin());
        keyed.push_back({Key{cooling, seconds, position}, model});
    }
    // The position makes every key distinct but for repeated names, which are equal anyway.
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    out.reserve(keyed.size());
    for (auto& [key, model] : keyed) out.push_back(std::move(model));
    return out;
}

double AIHealth::prior(std::string_view model) {
    for (const PriorRule& rule : kPriors) {
        if (model.find(rule.contains) != std::string_view::npos) return rule.seconds;
    }
    return kUnknownPrior;
}

std::optional<int> AIHealth::thinkingVariant(const std::string& model) {
    std::lock_guard guard(lock_);
    auto it = thinking_.find(model);
    if (it == thinking_.end()) return std::nullopt;
    return it->second;
}

void AIHealth::recordFailure(const std::string& model, double until) {
    std::lock_guard guard(lock_);
    coolUntil_[model] = until;
}

void AIHealth::recordSuccess(const std::string& model, double seconds) {
    std::lock_guard guard(lock_);
    auto [it, inserted] = speed_.try_emplace(model, seconds);
    if (!inserted) it->second = kNewWeight * seconds + (1 - kNewWeight) * it->second;
    coolUntil_.erase(model);
}

void AIHealth::rememberThinking(const std::string& model, int variant) {
    std::lock_guard guard(lock_);
    thinking_[model] = variant;
}

std::optional<double> AIHealth::speedOf(const std::string& model) {
    std::lock_guard guard(lock_);
    auto it = speed_.find(model);
    if (it == speed_.end()) return std::nullopt;
    return it->second;
}

std::optional<double> AIHealth::coolingUntil(const std::string& model) {
    std::lock_guard guard(lock_);
    auto it = coolUntil_.find(model);
    if (it == coolUntil_.end()) return std::nullopt;
    return it->second;
}

}  // namespace veska
