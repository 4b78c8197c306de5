// Stored names of the AI sources.
#include <gtest/gtest.h>

#include "core/ai/AISource.h"

namespace veska {
namespace {

TEST(AISource, RawValuesInOrderAndRoundTrip) {
    const std::vector<std::pair<AISource, std::string>> expected{
        {AISource::grok, "grok"},
        {AISource::gemini, "gemini"},
        {AISource::deepseek, "deepseek"},
        {AISource::chatgpt, "chatgpt"},
    };
    ASSERT_EQ(kAllAISources.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kAllAISources[i], expected[i].first) << i;
        EXPECT_EQ(rawValue(expected[i].first), expected[i].second);
        EXPECT_EQ(aiSourceFromRaw(expected[i].second), expected[i].first);
    }
}

TEST(AISource, AnyOtherStringYieldsNoSource) {
    for (const char* raw : {"", "Grok", "GEMINI", " grok", "grok ", "gpt", "chatgpt_web", "openai"}) {
        EXPECT_EQ(aiSourceFromRaw(raw), std::nullopt) << '"' << raw << '"';
    }
}

}  // namespace
}  // namespace veska
