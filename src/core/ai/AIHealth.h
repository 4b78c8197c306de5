// How well each remote model has been doing: answer speeds, cool-downs after failures, and the
// thinking configuration each Gemini model accepted. Memory only.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veska {

/// One process-wide record (`shared()`), read and written by the main executor and by the
/// model tasks of concurrent races; `lock` guards each whole operation. Times are seconds of
/// the monotonic clock of the executors (`rt::Executor::now()`), given by the caller.
class AIHealth {
public:
    /// Weight of a new measurement in the smoothed answer time.
    static constexpr double kNewWeight = 0.4;

    AIHealth() = default;
    AIHealth(const AIHealth&) = delete;
    AIHealth& operator=(const AIHealth&) = delete;

    /// The one record of the process, created on first use.
    [[nodiscard]] static AIHealth& shared();

    /// `models` best first: ascending by (cooling at `now`, smoothed or prior speed, position of
    /// the first occurrence in `models`); every name kept, cooling ones last.
    [[nodiscard]] std::vector<std::string> order(const std::vector<std::string>& models, double now);
    /// The assumed answer time in seconds of a model never measured.
    [[nodiscard]] static double prior(std::string_view model);
    /// The Gemini thinking variant (0, 1 or 2) the service last accepted for `model`.
    [[nodiscard]] std::optional<int> thinkingVariant(const std::string& model);

    /// `model` is cooling until `until`.
    void recordFailure(const std::string& model, double until);
    /// `model` answered completely in `seconds`: smooths its speed and ends its cool-down.
    void recordSuccess(const std::string& model, double seconds);
    void rememberThinking(const std::string& model, int variant);

    /// The smoothed answer time of `model`, when measured.
    [[nodiscard]] std::optional<double> speedOf(const std::string& model);
    /// The end of `model`'s cool-down, when one was recorded.
    [[nodiscard]] std::optional<double> coolingUntil(const std::string& model);

private:
    std::mutex lock_;
    std::map<std::string, double, std::less<>> coolUntil_;
    std::map<std::string, double, std::less<>> speed_;
    std::map<std::string, int, std::less<>> thinking_;
};

}  // namespace veska
