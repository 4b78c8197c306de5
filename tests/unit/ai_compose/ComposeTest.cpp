// Compose: the language asked for, the framed message, the context limit and the session's life.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ai/Translator.h"
#include "runtime/VirtualLoop.h"
#include "unit/ai_compose/FakeTextSession.h"

namespace veska::Translator {
namespace {

using testing::fakeFactory;
using testing::SessionLog;
using testing::SessionScript;

const std::string kVietnameseSpeech = "Tôi muốn gửi báo cáo cho anh vào ngày mai";
const std::string kEnglishSpeech = "Please send me the report tomorrow morning";
const std::string kJapaneseContext = "今日は良い天気ですね。明日も晴れるでしょう。会議は午後三時からです。";

/// The output language named in the rule "2. Write it in …." of the instructions.
std::string askedLanguage(const std::string& instructions) {
    const std::string marker = "\n2. Write it in ";
    const auto start = instructions.find(marker);
    if (start == std::string::npos) return "(no language rule)";
    const auto from = start + marker.size();
    return instructions.substr(from, instructions.find(".\n3. ", from) - from);
}

struct ComposeRun {
    std::shared_ptr<SessionLog> log = std::make_shared<SessionLog>();
    std::string result;
};

ComposeRun runCompose(std::string dictation, std::optional<std::string> context,
                      std::optional<TranslateLang> target, WriteMode mode = WriteMode::normal,
                      SessionScript script = testing::answering("  The answer.\n")) {
    rt::VirtualLoop loop;
    ComposeRun run;
    run.result = loop.run(compose(std::move(dictation), std::move(context), std::move(target), mode,
                                  fakeFactory(run.log, std::move(script))));
    return run;
}

TEST(Compose, OutputLanguageFollowsTargetThenContextThenSpeech) {
    struct Row {
        const char* label;
        std::string dictation;
        std::optional<std::string> context;
        std::optional<TranslateLang> target;
        std::string language;
    };
    const std::vector<Row> rows{
        {"swap, Vietnamese speech", kVietnameseSpeech, std::nullopt, TranslateLang::swap(), "English"},
        {"swap, English speech", kEnglishSpeech, std::nullopt, TranslateLang::swap(), "Vietnamese"},
        {"swap, speech that cannot be placed", "123 456 789", std::nullopt, TranslateLang::swap(),
         "Vietnamese"},
        {"swap ignores the context", kVietnameseSpeech, kJapaneseContext, TranslateLang::swap(), "English"},
        {"a target", kVietnameseSpeech, kJapaneseContext, TranslateLang::find("fr"), "French"},
        {"Japanese context decides over Vietnamese speech", kVietnameseSpeech, kJapaneseContext, std::nullopt,
         "Japanese"},
        {"context in Chinese", kEnglishSpeech, "我们明天去北京开会，请准备好材料。", std::nullopt,
         "Simplified Chinese"},
        {"context that cannot be placed", kVietnameseSpeech, "12:30 — 14:45 / 555-0100", std::nullopt,
         "the same language as the context"},
        {"context that is only white space counts as none", kEnglishSpeech, " \n\t ", std::nullopt,
         "English"},
        {"no target, no context: the speech", kVietnameseSpeech, std::nullopt, std::nullopt, "Vietnamese"},
        {"no target, no context, speech that cannot be placed", "42 42 42", std::nullopt, std::nullopt,
         "the language the user spoke"},
    };
    for (const Row& row : rows) {
        const ComposeRun run = runCompose(row.dictation, row.context, row.target);
        ASSERT_EQ(run.log->instructions.size(), 1u) << row.label;
        EXPECT_EQ(askedLanguage(run.log->instructions[0]), row.language) << row.label;
    }
}

TEST(Compose, MessageFramesTrimmedContextAndDictation) {
    const ComposeRun withContext =
        runCompose("\n  write back yes  \n", "\t Can you come on Friday?\n", std::nullopt);
    ASSERT_EQ(withContext.log->messages.size(), 1u);
    EXPECT_EQ(withContext.log->messages[0],
              "CONTEXT (selected on screen — the message being answered or the draft being worked on):\n<<<\n"
              "Can you come on Friday?\n>>>\n\nDICTATION:\n<<<\nwrite back yes\n>>>");

    const ComposeRun without = runCompose(" write back yes ", std::nullopt, std::nullopt);
    ASSERT_EQ(without.log->messages.size(), 1u);
    EXPECT_EQ(without.log->messages[0], "DICTATION:\n<<<\nwrite back yes\n>>>");
}

TEST(Compose, InstructionsCarryTheContextRuleAndTheModeSuffix) {
    struct Row {
        WriteMode mode;
        std::optional<std::string> context;
        std::string expected;
    };
    const std::vector<Row> rows{
        {WriteMode::normal, std::nullopt, composeInstructions("English", false)},
        {WriteMode::normal, "Dear Lan,", composeInstructions("English", true)},
        {WriteMode::prompt, std::nullopt,
         composeInstructions("English", false) + std::string(composeModeSuffix(WriteMode::prompt))},
        {WriteMode::email, "Dear Lan,",
         composeInstructions("English", true) + std::string(composeModeSuffix(WriteMode::email))},
    };
    for (const Row& row : rows) {
        const ComposeRun run =
            runCompose(kVietnameseSpeech, row.context, TranslateLang::find("en"), row.mode);
        ASSERT_EQ(run.log->instructions.size(), 1u);
        EXPECT_EQ(run.log->instructions[0], row.expected) << rawValue(row.mode);
        EXPECT_EQ(run.log->made, std::vector<AITask>{AITask::write});
        EXPECT_EQ(run.log->closes, 1);
    }
    const ComposeRun email =
        runCompose(kVietnameseSpeech, std::nullopt, TranslateLang::find("en"), WriteMode::email);
    EXPECT_TRUE(email.log->instructions[0].ends_with(
        "background.\n9. Shape the result as an email: greeting, short paragraphs, clear asks, sign-off."));
}

TEST(Compose, ContextIsCutToItsFirstFifteenThousandCharacters) {
    struct Row {
        const char* label;
        std::string context;
        std::string sent;
    };
    const std::string twentyThousand = std::string(15'000, 'a') + std::string(5'000, 'b');
    // "ệ" written as e + two combining marks: three code points, one character.
    std::string decomposed;
    for (int i = 0; i < 15'001; ++i) decomposed += "e\u0302\u0323";
    const std::vector<Row> rows{
        {"20,000 characters", twentyThousand, std::string(15'000, 'a')},
        {"exactly 15,000", std::string(15'000, 'c'), std::string(15'000, 'c')},
        {"white space around is trimmed first", "  \n" + std::string(15'000, 'd') + "\n",
         std::string(15'000, 'd')},
        {"counted by characters", decomposed, decomposed.substr(0, decomposed.size() - 5)},
    };
    for (const Row& row : rows) {
        const ComposeRun run = runCompose("reply", row.context, TranslateLang::find("en"));
        ASSERT_EQ(run.log->messages.size(), 1u) << row.label;
        const std::string expected =
            "CONTEXT (selected on screen — the message being answered or the draft being worked "
            "on):\n<<<\n" +
            row.sent + "\n>>>\n\nDICTATION:\n<<<\nreply\n>>>";
        EXPECT_EQ(run.log->messages[0].size(), expected.size()) << row.label;
        EXPECT_TRUE(run.log->messages[0] == expected) << row.label;
    }
}

TEST(Compose, DictationIsNeverCut) {
    const std::string longSpeech(20'000, 'w');
    const ComposeRun run = runCompose(longSpeech, std::nullopt, TranslateLang::find("en"));
    ASSERT_EQ(run.log->messages.size(), 1u);
    EXPECT_EQ(run.log->messages[0], "DICTATION:\n<<<\n" + longSpeech + "\n>>>");
}

TEST(Compose, AnswerIsTrimmedAndPartialsIgnored) {
    SessionScript script = testing::answering("\n\n  Chào anh,\nEm gửi báo cáo.  \n");
    script.partials = {"Ch", "Chào"};
    const ComposeRun run =
        runCompose(kVietnameseSpeech, std::nullopt, std::nullopt, WriteMode::normal, script);
    EXPECT_EQ(run.result, "Chào anh,\nEm gửi báo cáo.");
}

TEST(Compose, BlankDictationReturnsEmptyWithoutASession) {
    for (const std::string dictation : {"", "   ", "\n\t \r\n", "\u00A0\u3000"}) {
        const ComposeRun run = runCompose(dictation, "some context", TranslateLang::swap());
        EXPECT_EQ(run.result, "");
        EXPECT_TRUE(run.log->made.empty());
    }
}

TEST(Compose, ErrorsPassThroughUnchangedAndTheSessionIsClosed) {
    const TranslateError apiError = TranslateError::apiFailed(AISource::gemini, "500 · overloaded");
    struct Row {
        const char* label;
        SessionScript script;
        std::optional<TranslateError> failMake;
        TranslateError expected;
        int closes;
        std::size_t sends;
    };
    SessionScript failOpen;
    failOpen.failOpen = TranslateError::needLogin(AISource::grok);
    SessionScript failSend;
    failSend.failSend = apiError;
    const std::vector<Row> rows{
        {"factory fails",
         {},
         TranslateError::noKey(AISource::deepseek),
         TranslateError::noKey(AISource::deepseek),
         0,
         0},
        {"open fails", failOpen, std::nullopt, TranslateError::needLogin(AISource::grok), 1, 0},
        {"send fails", failSend, std::nullopt, apiError, 1, 1},
    };
    for (const Row& row : rows) {
        rt::VirtualLoop loop;
        auto log = std::make_shared<SessionLog>();
        try {
            loop.run(compose(kVietnameseSpeech, std::nullopt, std::nullopt, WriteMode::normal,
                             fakeFactory(log, row.script, row.failMake)));
            ADD_FAILURE() << row.label << ": no error";
        } catch (const TranslateError& error) {
            EXPECT_EQ(error, row.expected) << row.label;
        }
        EXPECT_EQ(log->closes, row.closes) << row.label;
        EXPECT_EQ(log->messages.size(), row.sends) << row.label;
        EXPECT_EQ(log->sessionsAlive, 0) << row.label;
    }
}

TEST(Compose, CancelledWhileWaitingForTheAnswerClosesTheSession) {
    rt::VirtualLoop loop;
    auto log = std::make_shared<SessionLog>();
    SessionScript slow = testing::answering("late");
    slow.sendSeconds = 30;
    auto handle = rt::spawn(loop.main(), compose(kEnglishSpeech, std::nullopt, std::nullopt,
                                                 WriteMode::normal, fakeFactory(log, slow)));
    loop.runFor(5);
    ASSERT_EQ(log->messages.size(), 1u);
    EXPECT_EQ(log->closes, 0);
    handle.cancel();
    loop.runUntilIdle();
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    EXPECT_EQ(log->closes, 1);
    EXPECT_EQ(log->sessionsAlive, 0);
}

}  // namespace
}  // namespace veska::Translator
