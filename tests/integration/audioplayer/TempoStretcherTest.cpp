// The tempo stretcher: frame counts at each tempo, order kept across tempo changes.
#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/audioplayer/TempoStretcher.h"

namespace veska::platform {
namespace {

std::vector<float> ramp(std::size_t frames, float from) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) out[i] = from + static_cast<float>(i) * 1e-5F;
    return out;
}

std::vector<float> drain(TempoStretcher& stretcher) {
    stretcher.flush();
    std::vector<float> out(stretcher.available());
    out.resize(stretcher.take(out.data(), out.size()));
    return out;
}

TEST(TempoStretcher, TempoOnePassesFramesUnchangedAndAtOnce) {
    TempoStretcher stretcher(1, 24000, 1.0);
    const std::vector<float> in = ramp(1000, 0.1F);
    stretcher.put(in.data(), in.size());
    EXPECT_EQ(stretcher.available(), 1000u);
    EXPECT_DOUBLE_EQ(stretcher.backlog(), 1000.0);
    std::vector<float> out(1000);
    EXPECT_EQ(stretcher.take(out.data(), 1000), 1000u);
    EXPECT_EQ(out, in);
}

TEST(TempoStretcher, OutputLengthFollowsTheTempo) {
    for (double tempo : {0.5, 0.75, 1.25, 1.5, 2.0}) {
        TempoStretcher stretcher(1, 24000, tempo);
        const std::vector<float> in = ramp(48000, 0.1F);  // 2 s
        stretcher.put(in.data(), in.size());
        const std::vector<float> out = drain(stretcher);
        // The flush pads a little silence after the last frame.
        EXPECT_NEAR(static_cast<double>(out.size()), 48000 / tempo, 48000 / tempo * 0.08) << tempo;
        EXPECT_EQ(stretcher.unprocessed(), 0u);
    }
}

TEST(TempoStretcher, AChangeOfTempoKeepsTheOrderOfTheFrames) {
    TempoStretcher stretcher(1, 24000, 1.0);
    const std::vector<float> first(2400, 0.25F);
    const std::vector<float> second(24000, 0.5F);
    const std::vector<float> third(2400, 0.75F);
    stretcher.put(first.data(), first.size());
    stretcher.setTempo(1.5);
    stretcher.put(second.data(), second.size());
    stretcher.setTempo(1.0);  // flushes what SoundTouch held
    stretcher.put(third.data(), third.size());
    const std::vector<float> out = drain(stretcher);
    ASSERT_GE(out.size(), 2400u + 2400u + 15000u);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 2400), first);
    EXPECT_EQ(std::vector<float>(out.end() - 2400, out.end()), third);
    // The middle is the stretched second block (0.5 throughout, give or take its edges).
    EXPECT_NEAR(out[2400 + 8000], 0.5F, 0.05F);
}

}  // namespace
}  // namespace veska::platform
