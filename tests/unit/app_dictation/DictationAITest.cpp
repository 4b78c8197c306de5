// The AI step of a take: fix, translate, compose, their context, and failures kept as spoken.
#include <algorithm>

#include "DictationRig.h"

namespace veska::testing {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void chooseOutput(DictationRig& rig, const char* code) {
    rig.world->prefs.set(UserDefaults::kDictationOutput, code);
    rig.app().dictationTarget = TranslateLang::find(code);
}

TEST(DictationAI, PromptModeFixesAPlainTakeEvenWithAutoFixOff) {
    DictationRig rig;
    Translator::setCurrent(rig.world->prefs, Translator::WriteMode::prompt);
    rig.world->ai.replies[AITask::fix] = {.text = "Write a haiku.", .error = std::nullopt, .seconds = 0.4};
    rig.tap();
    EXPECT_TRUE(rig.app().takeFix);
    EXPECT_EQ(rig.world->hud().outputChip, "AI ✎ Prompt");
    EXPECT_EQ(rig.world->ai.warmed, (std::vector<AISource>{AISource::grok}));
    rig.tap(3);
    EXPECT_EQ(rig.fieldText(), "Write a haiku.");
    ASSERT_EQ(rig.world->ai.sent.size(), 1U);
    EXPECT_EQ(rig.world->ai.sent[0].task, AITask::fix);
}

TEST(DictationAI, AnOutputLanguageTranslatesInsteadOfFixing) {
    DictationRig rig;
    Translator::setCurrent(rig.world->prefs, Translator::WriteMode::prompt);
    chooseOutput(rig, "fr");
    rig.world->ai.replies[AITask::translate] = {.text = "Bonjour", .error = std::nullopt, .seconds = 0.4};
    rig.tap();
    EXPECT_FALSE(rig.app().takeFix);
    EXPECT_EQ(rig.world->hud().outputChip, "→ FR");
    rig.tap(3);
    EXPECT_EQ(rig.fieldText(), "Bonjour");
    ASSERT_EQ(rig.world->ai.sent.size(), 1U);
    EXPECT_EQ(rig.world->ai.sent[0].task, AITask::translate);
    const States states = rig.hudStates();
    EXPECT_NE(std::find(states.begin(), states.end(), "translating: Translating…"), states.end());
}

TEST(DictationAI, SwapTranslatesVietnameseIntoEnglishAndBack) {
    const std::pair<std::string, std::string> rows[] = {
        {"xin chào các bạn, hôm nay trời đẹp quá", "English"},
        {"good morning everyone, the weather is lovely today", "Vietnamese"},
    };
    for (const auto& [spoken, into] : rows) {
        DictationRig rig;
        rig.world->core.transcript = spoken;
        chooseOutput(rig, "swap");
        rig.tap();
        rig.tap(3);
        ASSERT_EQ(rig.world->ai.sent.size(), 1U) << spoken;
        EXPECT_TRUE(contains(rig.world->ai.sent[0].instructions, into)) << spoken;
    }
}

TEST(DictationAI, FailuresKeepTheSpokenTextAndSaySo) {
    struct Row {
        const char* output;  // dictation output code, or "" for none
        bool compose;
        AITask task;
        std::string message;
    };
    const Row rows[] = {
        {"", false, AITask::fix, "error: AI could not fix it · kept as spoken"},
        {"fr", false, AITask::translate, "error: Not translated · kept as spoken"},
        {"", true, AITask::write, "error: AI could not write it · kept as spoken"},
    };
    for (const Row& row : rows) {
        DictationRig rig;
        rig.app().autoFix = true;
        if (*row.output) chooseOutput(rig, row.output);
        rig.world->delegate().hotkeys().composePress = row.compose;
        rig.world->ai.replies[row.task] = {.text = std::nullopt, .error = TranslateError::Kind::unreachable, .seconds = 0.2};
        rig.tap();
        rig.tap(3);
        EXPECT_EQ(rig.fieldText(), "xin chào") << row.message;
        const States states = rig.hudStates();
        EXPECT_NE(std::find(states.begin(), states.end(), row.message), states.end()) << row.message;
    }
}

TEST(DictationAI, GrokSignInIsRecordedFromTheOutcome) {
    DictationRig rig;
    rig.app().autoFix = true;
    rig.tap();
    rig.tap(3);
    EXPECT_EQ(rig.app().grokSignedIn, true);
    EXPECT_TRUE(rig.world->popover.readReady);
    EXPECT_EQ(rig.world->popover.voiceName, "Eve");
    rig.world->ai.replies[AITask::fix] = {.text = std::nullopt, .error = TranslateError::Kind::signedOut, .seconds = 0.2};
    rig.tap();
    rig.tap(3);
    EXPECT_EQ(rig.app().grokSignedIn, false);
    EXPECT_TRUE(rig.app().grokRejected);
}

TEST(DictationAI, ComposeReadsALateTranslationOnlyWithinTwentyMinutes) {
    const std::pair<double, bool> rows[] = {{19 * 60, true}, {21 * 60, false}};
    for (auto [age, used] : rows) {
        DictationRig rig;
        rig.app().lastTranslated = std::pair{std::string("Hẹn gặp lúc 3 giờ"), rig.loop.main().wallNow() - age};
        rig.world->delegate().hotkeys().composePress = true;
        rig.world->ai.replies[AITask::write] = {.text = "OK, 3pm works.", .error = std::nullopt, .seconds = 0.4};
        rig.tap();
        EXPECT_EQ(rig.world->hud().outputChip, "AI ✎");
        rig.tap(3);
        ASSERT_EQ(rig.world->ai.sent.size(), 1U);
        EXPECT_EQ(contains(rig.world->ai.sent[0].text, "Hẹn gặp lúc 3 giờ"), used) << age;
        EXPECT_EQ(rig.fieldText(), "OK, 3pm works.");
    }
}

TEST(DictationAI, ComposeWithASelectionUsesItOverTheTranslation) {
    DictationRig rig({.fieldText = "Please send the report"});
    rig.desktop.element(rig.field).selection = {0, 22};
    rig.app().lastTranslated = std::pair{std::string("old translation"), rig.loop.main().wallNow()};
    rig.world->delegate().hotkeys().composePress = true;
    rig.tap();
    rig.tap(3);
    ASSERT_EQ(rig.world->ai.sent.size(), 1U);
    EXPECT_TRUE(contains(rig.world->ai.sent[0].text, "Please send the report"));
    EXPECT_FALSE(contains(rig.world->ai.sent[0].text, "old translation"));
}

TEST(DictationAI, ALongContextIsCutAndTheNoticeSaysSo) {
    const std::pair<std::size_t, std::string> rows[] = {
        {15'000, "done: Inserted into Notes"},
        {15'001, "info: Written · long context, AI read the first 15,000 characters"},
    };
    for (const auto& [length, outcome] : rows) {
        DictationRig rig;
        rig.app().lastTranslated = std::pair{std::string(length, 'a'), rig.loop.main().wallNow()};
        rig.world->delegate().hotkeys().composePress = true;
        rig.world->ai.replies[AITask::write] = {.text = "Done.", .error = std::nullopt, .seconds = 0.4};
        rig.tap();
        rig.tap(3);
        const States states = rig.hudStates();
        EXPECT_NE(std::find(states.begin(), states.end(), outcome), states.end()) << length;
        EXPECT_EQ(rig.app().composeContextCut, length > 15'000);
    }
}

TEST(DictationAI, ContextIsCountedInCharactersNotBytes) {
    DictationRig rig;
    // 15,000 Vietnamese letters of two bytes each, and one more made of a letter and a mark.
    std::string context;
    for (int i = 0; i < 15'000; ++i) context += "ế";
    rig.app().lastTranslated = std::pair{context, rig.loop.main().wallNow()};
    rig.world->delegate().hotkeys().composePress = true;
    rig.tap();
    rig.tap(3);
    EXPECT_FALSE(rig.app().composeContextCut);
    DictationRig longer;
    longer.app().lastTranslated = std::pair{context + "e\xCC\x81", longer.loop.main().wallNow()};
    longer.world->delegate().hotkeys().composePress = true;
    longer.tap();
    longer.tap(3);
    EXPECT_TRUE(longer.app().composeContextCut);
}

}  // namespace
}  // namespace veska::testing
