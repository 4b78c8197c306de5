// What the HUD shows: pill texts and icons, the transcript split, the speed label, animations,
// the menu-bar symbols and icon.
#include <cmath>

#include <gtest/gtest.h>

#include "core/ui/AppStrings.h"
#include "core/ui/DesignTokens.h"
#include "core/ui/HUDColor.h"
#include "core/ui/HUDPresentation.h"
#include "platform/sim/SimSystemLanguages.h"

namespace veska::testing {
namespace {

using namespace HUDPresentation;
using K = HUDState::Kind;

void useLocale(const char* code) {
    AppStrings::setLocale(nlohmann::json{{"locale", code}}, sim::SimSystemLanguages({"vi-VN"}));
}

HUDModel model(HUDState state, std::string engine = "claude_web", std::optional<std::string> target = std::nullopt) {
    HUDModel m;
    m.state = std::move(state);
    m.engine = std::move(engine);
    m.targetApp = std::move(target);
    return m;
}

TEST(HUDPresentation, PillTextsInBothLanguages) {
    struct Row {
        HUDModel m;
        std::string en;
        std::string vi;
    };
    const Row rows[] = {
        {model(HUDState::error("")), "Error", "Lỗi"},
        {model(HUDState::info("Output: English")), "Output: English", "Output: English"},
        {model(K::transcribing), "Finishing the sentence…", "Đang chốt đủ câu…"},
        {model(K::transcribing, "chatgpt_web"), "Transcribing…", "Đang chuyển thành chữ…"},
        {model(K::done, "claude_web", "Notes"), "Inserted into Notes", "Đã chèn vào Notes"},
        {model(K::done, "claude_web", ""), "Done", "Xong"},
        {model(K::done), "Done", "Xong"},
        {model(K::stopped), "Stopped", "Đã dừng"},
        {model(K::readying), "Getting the voice…", "Đang lấy giọng đọc…"},
        {model(K::translating), "Translating…", "Đang dịch…"},
        {model(K::composing), "AI is writing…", "AI đang viết…"},
        {model(K::fixing), "AI is fixing…", "AI đang sửa…"},
        {model(K::idle), "", ""},
    };
    for (const Row& row : rows) {
        useLocale("en");
        EXPECT_EQ(pillText(row.m, Translator::WriteMode::normal), row.en);
        useLocale("vi");
        EXPECT_EQ(pillText(row.m, Translator::WriteMode::normal), row.vi);
    }
    useLocale("en");
    EXPECT_EQ(pillText(model(K::fixing), Translator::WriteMode::email), "AI is writing…");
}

TEST(HUDPresentation, LongErrorsShowTheirFirst32Characters) {
    std::string message;
    for (int i = 0; i < 100; ++i) message += static_cast<char>('a' + i % 26);
    EXPECT_EQ(pillText(model(HUDState::error(message)), Translator::WriteMode::normal), message.substr(0, 32));
    // Characters, not bytes.
    std::string vietnamese;
    for (int i = 0; i < 40; ++i) vietnamese += "ệ";
    std::string expected;
    for (int i = 0; i < 32; ++i) expected += "ệ";
    EXPECT_EQ(pillText(model(HUDState::error(vietnamese)), Translator::WriteMode::normal), expected);
}

TEST(HUDPresentation, PillIcons) {
    EXPECT_EQ(pillIcon(HUDState::error("x")).symbol, "exclamationmark.circle");
    EXPECT_EQ(pillIcon(HUDState::error("x")).color, HUDColor::orangeDeep);
    EXPECT_EQ(pillIcon(K::done).kind, PillIconKind::disc);
    EXPECT_EQ(pillIcon(HUDState::info("x")).discColor, HUDColor::orange);
    for (K kind : {K::transcribing, K::readying, K::translating, K::composing, K::fixing}) {
        EXPECT_EQ(pillIcon(kind).kind, PillIconKind::pulseDots);
    }
    EXPECT_EQ(pillIcon(K::stopped).symbol, "stop.circle");
    EXPECT_EQ(pillIcon(K::stopped).color, HUDColor::muted);
}

TEST(HUDPresentation, RateLabels) {
    const std::pair<double, const char*> rows[] = {{1, "1×"}, {1.5, "1.5×"}, {0.75, "0.75×"}, {2, "2×"}, {1.25, "1.2×"}};
    for (auto [rate, label] : rows) EXPECT_EQ(rateLabel(rate), label) << rate;
}

TEST(HUDPresentation, TranscriptKeepsTheTailAndEmphasisesTheLastEightWords) {
    EXPECT_EQ(split(""), (TranscriptParts{"", ""}));
    EXPECT_EQ(split("  one\ttwo\n "), (TranscriptParts{"", "one two"}));
    EXPECT_EQ(split("1 2 3 4 5 6 7 8 9 10"), (TranscriptParts{"1 2 ", "3 4 5 6 7 8 9 10"}));

    std::string text;
    while (text.size() < 300) text += "abcd ";
    text.resize(299);
    text += "x";  // 300 characters, single spaces, ending with "abcdx"
    const TranscriptParts parts = split(text);
    const std::string joined = parts.older + parts.fresh;
    EXPECT_EQ(joined, "…" + text.substr(300 - 259));
    EXPECT_EQ(parts.fresh, "abcd abcd abcd abcd abcd abcd abcd abcdx");

    const std::string exactly260(260, 'x');
    EXPECT_EQ(split(exactly260).fresh, exactly260);
    const std::string exactly261(261, 'x');
    EXPECT_EQ(split(exactly261).fresh, "…" + std::string(259, 'x'));
}

TEST(HUDPresentation, WaveformStaysWithinItsBounds) {
    for (double t = 0; t < 2; t += 0.037) {
        for (int i = 0; i < 12; ++i) {
            for (double level : {0.0, 0.3, 1.0, 5.0}) {
                const double h = waveformBarHeight(t, i, level, 0.18, 30, 3);
                EXPECT_GE(h, 3);
                EXPECT_LE(h, 30);
            }
        }
    }
    // Silence ripples around the idle fraction; full input reaches the top on the crest.
    const double crestT = (M_PI / 2) / 9;
    EXPECT_NEAR(waveformBarHeight(crestT, 0, 0, 0.2, 100, 1), (0.08 + 0.2) * 100, 1e-9);
    EXPECT_NEAR(waveformBarHeight(crestT, 0, 1, 0.2, 100, 1), 100, 1e-9);
}

TEST(HUDPresentation, PulseDotsRunBetweenTheirBounds) {
    EXPECT_NEAR(pulseDotOpacity((M_PI / 2) / 5, 0), 1.0, 1e-12);
    EXPECT_NEAR(pulseDotOpacity(-(M_PI / 2) / 5, 0), 0.35, 1e-12);
    EXPECT_NE(pulseDotOpacity(0.3, 0), pulseDotOpacity(0.3, 1));
}

TEST(HUDPresentation, ElapsedTimeAndPlaceholders) {
    EXPECT_EQ(elapsed(0), "0:00");
    EXPECT_EQ(elapsed(65.9), "1:05");
    EXPECT_EQ(elapsed(-3), "0:00");
    useLocale("en");
    EXPECT_EQ(transcriptPlaceholder(model(K::listening, "chatgpt_web")), "ChatGPT · text appears when you release fn");
    EXPECT_EQ(transcriptPlaceholder(model(K::listening)), "Go ahead");
}

// A screen reader hears what the panel shows: the long error whole, where the pill cuts it.
TEST(HUDPresentation, AccessibleNameAndDescriptionFollowWhatIsShown) {
    const std::string longError = "The voice stream disconnected before the sentence was finished";
    HUDModel listening = model(K::listening);
    HUDModel heard = listening;
    heard.text = "xin chào";
    heard.outputChip = "→ EN";
    HUDModel reading = model(K::speaking, "Grok");
    reading.rate = 1.5;
    HUDModel paused = reading;
    paused.paused = true;
    struct Row {
        HUDModel m;
        std::string name;
        std::string description;
    };
    const std::vector<Row> rows = {
        {listening, "Listening", "Go ahead"},
        {heard, "Listening", "→ EN · xin chào"},
        {model(K::transcribing), "Finishing the sentence…", ""},
        {model(K::done, "claude_web", "Zenity"), "Inserted into Zenity", ""},
        {model(HUDState::error(longError)), longError.substr(0, 32), longError},
        {model(HUDState::info("Copied")), "Copied", "Copied"},
        {model(K::stopped), "Stopped", ""},
        {reading, "Reading aloud", "Speed 1.5×"},
        {paused, "Reading aloud", "Paused · Speed 1.5×"},
    };
    useLocale("en");
    for (const Row& row : rows) {
        EXPECT_EQ(accessibleName(row.m, Translator::WriteMode::normal), row.name) << row.name;
        EXPECT_EQ(accessibleDescription(row.m), row.description) << row.name;
    }
    useLocale("vi");
    EXPECT_EQ(accessibleName(listening, Translator::WriteMode::normal), "Đang nghe");
    EXPECT_EQ(accessibleDescription(paused), "Đã tạm dừng · Tốc độ đọc 1.5×");
}

TEST(MenuBarIcon, SymbolOfEveryState) {
    const std::pair<HUDState, const char*> rows[] = {
        {HUDState::error("x"), "exclamationmark.triangle.fill"}, {HUDState::info("x"), "checkmark.circle.fill"},
        {K::idle, "waveform"},         {K::listening, "mic.fill"},        {K::transcribing, "ellipsis.circle"},
        {K::done, "checkmark.circle.fill"}, {K::stopped, "stop.circle"},  {K::readying, "ellipsis.circle"},
        {K::speaking, "mic.fill"},     {K::translating, "ellipsis.circle"}, {K::composing, "ellipsis.circle"},
        {K::fixing, "ellipsis.circle"},
    };
    for (const auto& [state, symbol] : rows) EXPECT_EQ(hudSymbol(state), symbol) << name(state.kind());
}

TEST(MenuBarIcon, BadgeMakesANonTemplateImageWithTheDot) {
    using DesignTokens::statusBarImage;
    EXPECT_EQ(statusBarImage(true, false), (DesignTokens::StatusBarImage{false, true, std::nullopt}));
    EXPECT_EQ(statusBarImage(true, true), (DesignTokens::StatusBarImage{false, false, DesignTokens::kBadgeDot}));
    EXPECT_EQ(statusBarImage(false, false).blankSymbol, true);
    EXPECT_EQ(statusBarImage(false, true), (DesignTokens::StatusBarImage{true, false, DesignTokens::kBadgeDot}));
    EXPECT_EQ(DesignTokens::kBadgeDot, (DesignTokens::Rect{10, 1, 7, 7}));
}

}  // namespace
}  // namespace veska::testing
