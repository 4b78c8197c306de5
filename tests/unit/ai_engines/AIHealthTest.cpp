// Model health: the order of a race, prior speeds, smoothing, cool-downs and thinking variants.
#include <gtest/gtest.h>

#include "core/ai/AIHealth.h"

namespace veska {
namespace {

using Names = std::vector<std::string>;

TEST(AIHealth, PriorsByTheFirstMatchingName) {
    const std::vector<std::pair<std::string, double>> rows = {
        {"gemini-3.5-flash-lite", 0.9},
        {"gemini-flash-lite-latest", 1.0},
        {"gemini-2.5-flash-lite", 1.0},
        {"gemma-4-26b-a4b-it", 1.2},
        {"gemini-3.1-flash-lite", 1.8},
        {"gemma-4-31b-it", 2.0},
        {"deepseek-flash", 1.5},
        {"", 1.5},
        {"3.5-flash-lite-gemma-4-31b", 0.9},
        {"GEMINI-3.5-FLASH-LITE", 1.5},
    };
    for (const auto& [model, seconds] : rows) {
        EXPECT_DOUBLE_EQ(AIHealth::prior(model), seconds) << model;
    }
}

TEST(AIHealth, NeverMeasuredModelsOrderByPriorThenPosition) {
    AIHealth health;
    EXPECT_EQ(health.order({"gemma-4-26b-a4b-it", "gemini-3.5-flash-lite"}, 0),
              (Names{"gemini-3.5-flash-lite", "gemma-4-26b-a4b-it"}));
    // Equal priors keep the given order.
    EXPECT_EQ(health.order({"x", "gemini-flash-lite-latest", "gemini-2.5-flash-lite", "y"}, 0),
              (Names{"gemini-flash-lite-latest", "gemini-2.5-flash-lite", "x", "y"}));
    EXPECT_EQ(health.order({}, 0), Names{});
    EXPECT_EQ(health.order({"a", "b", "a"}, 0), (Names{"a", "a", "b"}));
}

TEST(AIHealth, CoolingModelSortsLastUntilItsCoolDownPasses) {
    AIHealth health;
    health.recordSuccess("fast", 0.2);
    health.recordSuccess("slow", 3.0);
    // Failed with a 429 at time 100: cooling for 90 s.
    health.recordFailure("fast", 190);
    EXPECT_EQ(health.order({"fast", "slow", "gemini-3.5-flash-lite"}, 110),
              (Names{"gemini-3.5-flash-lite", "slow", "fast"}));
    EXPECT_EQ(health.order({"fast", "slow", "gemini-3.5-flash-lite"}, 189.9),
              (Names{"gemini-3.5-flash-lite", "slow", "fast"}));
    // At the very end of the cool-down it no longer cools.
    EXPECT_EQ(health.order({"slow", "gemini-3.5-flash-lite", "fast"}, 190),
              (Names{"fast", "gemini-3.5-flash-lite", "slow"}));
}

TEST(AIHealth, SpeedsAreSmoothedAndASuccessEndsTheCoolDown) {
    AIHealth health;
    EXPECT_EQ(health.speedOf("m"), std::nullopt);
    health.recordSuccess("m", 2.0);
    EXPECT_DOUBLE_EQ(*health.speedOf("m"), 2.0);
    health.recordSuccess("m", 1.0);
    EXPECT_DOUBLE_EQ(*health.speedOf("m"), 1.6);
    health.recordFailure("m", 500);
    EXPECT_EQ(health.coolingUntil("m"), 500);
    health.recordFailure("m", 300);
    EXPECT_EQ(health.coolingUntil("m"), 300);
    health.recordSuccess("m", 1.6);
    EXPECT_EQ(health.coolingUntil("m"), std::nullopt);
    EXPECT_DOUBLE_EQ(*health.speedOf("m"), 1.6);
    // A measured speed replaces the prior in the order.
    EXPECT_EQ(health.order({"gemini-3.5-flash-lite", "m"}, 0), (Names{"gemini-3.5-flash-lite", "m"}));
    health.recordSuccess("n", 0.5);
    EXPECT_EQ(health.order({"gemini-3.5-flash-lite", "m", "n"}, 0),
              (Names{"n", "gemini-3.5-flash-lite", "m"}));
}

TEST(AIHealth, ThinkingVariantsAreRememberedPerModel) {
    AIHealth health;
    EXPECT_EQ(health.thinkingVariant("a"), std::nullopt);
    health.rememberThinking("a", 2);
    health.rememberThinking("b", 0);
    EXPECT_EQ(health.thinkingVariant("a"), 2);
    EXPECT_EQ(health.thinkingVariant("b"), 0);
    health.rememberThinking("a", 1);
    EXPECT_EQ(health.thinkingVariant("a"), 1);
}

TEST(AIHealth, SharedIsOneRecord) {
    EXPECT_EQ(&AIHealth::shared(), &AIHealth::shared());
}

}  // namespace
}  // namespace veska
