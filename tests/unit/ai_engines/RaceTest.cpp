// The model race of the HTTP session: stagger, winner, failures, cancellation, error mapping.
#include <gtest/gtest.h>

#include "core/ai/ApiTextSession.h"
#include "unit/ai_engines/EngineRig.h"

namespace veska {
namespace {

using testing::EngineRig;

struct RaceTest : ::testing::Test {
    EngineRig rig;
    std::vector<std::string> deltas;

    ApiTextSession session(AISource source, std::vector<std::string> models) {
        return ApiTextSession(rig.link(), source, std::move(models), "key-1", "be brief", 0.7);
    }
    TextSession::OnDelta record() {
        return [this](const std::string& text) { deltas.push_back(text); };
    }
};

TEST_F(RaceTest, OneModelStreamsTheWholeAnswerSoFar) {
    rig.routeGemini("m1", {testing::geminiStream({"Hel", "lo"})});
    ApiTextSession api = session(AISource::gemini, {"m1"});
    std::string answer = rig.loop.run(api.send("hi", record()));
    EXPECT_EQ(answer, "Hello");
    EXPECT_EQ(deltas, (std::vector<std::string>{"Hel", "Hello"}));
    ASSERT_TRUE(ApiTextSession::last().has_value());
    EXPECT_EQ(ApiTextSession::last()->model, "m1");
    EXPECT_EQ(ApiTextSession::last()->source, AISource::gemini);
}

}  // namespace
}  // namespace veska
