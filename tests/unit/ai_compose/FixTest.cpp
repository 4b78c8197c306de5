// Fix: white space kept around the answer, the 15,000-character limit, instructions by mode.
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

struct FixRun {
    std::shared_ptr<SessionLog> log = std::make_shared<SessionLog>();
    std::string result;
    std::optional<TranslateError> error;
};

FixRun runFix(std::string text, FixKind kind, WriteMode mode, SessionScript script) {
    rt::VirtualLoop loop;
    FixRun run;
    try {
        run.result = loop.run(fix(std::move(text), kind, mode, fakeFactory(run.log, std::move(script))));
    } catch (const TranslateError& error) {
        run.error = error;
    }
    return run;
}

TEST(Fix, KeepsTheOriginalLeadingAndTrailingWhiteSpaceAroundTheAnswer) {
    struct Row {
        std::string text;
        std::string answer;
        std::string sentBody;
        std::string result;
    };
    const std::vector<Row> rows{
        {"  teh cat \n", "The cat.", "teh cat", "  The cat. \n"},
        {"  teh cat \n", "\n  The cat.  \n\n", "teh cat", "  The cat. \n"},
        {"toi di hoc", "Tôi đi học.", "toi di hoc", "Tôi đi học."},
        {"\n\n\tline one\nline two\r\n", "Line one.\nLine two.", "line one\nline two",
         "\n\n\tLine one.\nLine two.\r\n"},
        {"\u00A0word\u3000", "Word.", "word", "\u00A0Word.\u3000"},
    };
    for (const Row& row : rows) {
        const FixRun run =
            runFix(row.text, FixKind::selection, WriteMode::normal, testing::answering(row.answer));
        ASSERT_EQ(run.log->messages.size(), 1u) << row.text;
        EXPECT_EQ(run.log->messages[0], "TEXT:\n<<<\n" + row.sentBody + "\n>>>");
        EXPECT_EQ(run.result, row.result) << row.text;
        EXPECT_EQ(run.log->made, std::vector<AITask>{AITask::fix});
        EXPECT_EQ(run.log->closes, 1);
    }
}

TEST(Fix, EmptyAnswerLeavesTheTextAsItWas) {
    for (const std::string answer : {"", "  \n ", "\n"}) {
        const FixRun run =
            runFix("  teh cat \n", FixKind::dictation, WriteMode::normal, testing::answering(answer));
        EXPECT_EQ(run.result, "  teh cat \n") << "answer: [" << answer << "]";
        EXPECT_EQ(run.log->closes, 1);
    }
}

TEST(Fix, InstructionsDependOnModeAndKind) {
    struct Row {
        WriteMode mode;
        FixKind kind;
        std::string expected;
        const char* mustContain;
    };
    const std::vector<Row> rows{
        {WriteMode::normal, FixKind::selection, fixInstructions(FixKind::selection), "You are a proofreader"},
        {WriteMode::normal, FixKind::dictation, fixInstructions(FixKind::dictation),
         "7. Fix words the recognizer"},
        {WriteMode::email, FixKind::selection, shapeInstructions(WriteMode::email, FixKind::selection),
         "Rewrite it as a polished email"},
        {WriteMode::email, FixKind::dictation, shapeInstructions(WriteMode::email, FixKind::dictation),
         "Rewrite it as a polished email"},
        {WriteMode::prompt, FixKind::selection, shapeInstructions(WriteMode::prompt, FixKind::selection),
         "Rewrite it as a clean prompt"},
        {WriteMode::prompt, FixKind::dictation, shapeInstructions(WriteMode::prompt, FixKind::dictation),
         "Rewrite it as a clean prompt"},
    };
    for (const Row& row : rows) {
        const FixRun run = runFix("some text", row.kind, row.mode, testing::answering("Some text."));
        ASSERT_EQ(run.log->instructions.size(), 1u);
        EXPECT_EQ(run.log->instructions[0], row.expected) << rawValue(row.mode);
        EXPECT_NE(run.log->instructions[0].find(row.mustContain), std::string::npos) << rawValue(row.mode);
    }
}

TEST(Fix, LimitIsFifteenThousandCharactersOfTheUntrimmedText) {
    struct Row {
        const char* label;
        std::string text;
        bool tooLong;
    };
    std::string vietnamese;  // "ệ" precomposed: three bytes, one character
    for (int i = 0; i < 15'000; ++i) vietnamese += "ệ";
    std::string decomposed;  // e + two combining marks: five bytes, one character
    for (int i = 0; i < 15'000; ++i) decomposed += "e\u0302\u0323";
    const std::vector<Row> rows{
        {"15,000", std::string(15'000, 'x'), false},
        {"15,001", std::string(15'001, 'x'), true},
        {"14,999 and a trailing line feed", std::string(14'999, 'x') + "\n", false},
        {"15,000 and a leading space", " " + std::string(15'000, 'x'), true},
        {"15,000 multi-byte characters", vietnamese, false},
        {"15,000 decomposed characters", decomposed, false},
        {"15,001 decomposed characters", decomposed + "e\u0302", true},
        {"CR LF counts once", std::string(14'998, 'x') + "\r\n" + "x", false},
    };
    for (const Row& row : rows) {
        const FixRun run = runFix(row.text, FixKind::selection, WriteMode::normal, testing::answering("ok"));
        if (row.tooLong) {
            EXPECT_EQ(run.error, TranslateError::tooLong()) << row.label;
            EXPECT_TRUE(run.log->made.empty()) << row.label;
        } else {
            EXPECT_FALSE(run.error.has_value()) << row.label;
            EXPECT_EQ(run.log->made.size(), 1u) << row.label;
        }
    }
}

TEST(Fix, BlankTextComesBackUnchangedWithoutASession) {
    for (const std::string text : {"", " ", "  \n\t", "\r\n\u00A0"}) {
        const FixRun run =
            runFix(text, FixKind::selection, WriteMode::email, testing::answering("should not be used"));
        EXPECT_EQ(run.result, text);
        EXPECT_FALSE(run.error.has_value());
        EXPECT_TRUE(run.log->made.empty());
    }
}

TEST(Fix, ErrorsPassThroughUnchangedAndTheSessionIsClosed) {
    const TranslateError apiError = TranslateError::apiFailed(AISource::deepseek, "429 · slow down");
    SessionScript failOpen;
    failOpen.failOpen = TranslateError::unreachable();
    SessionScript failSend;
    failSend.failSend = apiError;
    struct Row {
        const char* label;
        SessionScript script;
        std::optional<TranslateError> failMake;
        TranslateError expected;
        int closes;
    };
    const std::vector<Row> rows{
        {"factory fails", {}, TranslateError::signedOut(), TranslateError::signedOut(), 0},
        {"open fails", failOpen, std::nullopt, TranslateError::unreachable(), 1},
        {"send fails", failSend, std::nullopt, apiError, 1},
    };
    for (const Row& row : rows) {
        rt::VirtualLoop loop;
        auto log = std::make_shared<SessionLog>();
        try {
            loop.run(fix("teh cat", FixKind::dictation, WriteMode::prompt,
                         fakeFactory(log, row.script, row.failMake)));
            ADD_FAILURE() << row.label << ": no error";
        } catch (const TranslateError& error) {
            EXPECT_EQ(error, row.expected) << row.label;
        }
        EXPECT_EQ(log->closes, row.closes) << row.label;
        EXPECT_EQ(log->sessionsAlive, 0) << row.label;
    }
}

TEST(Fix, CancelledOrDroppedWhileWaitingClosesTheSession) {
    for (const bool dropInsteadOfCancel : {false, true}) {
        rt::VirtualLoop loop;
        auto log = std::make_shared<SessionLog>();
        SessionScript slow = testing::answering("late");
        slow.sendSeconds = 60;
        {
            auto handle = rt::spawn(
                loop.main(), fix("teh cat", FixKind::selection, WriteMode::normal, fakeFactory(log, slow)));
            loop.runFor(1);
            ASSERT_EQ(log->messages.size(), 1u);
            EXPECT_EQ(log->closes, 0);
            if (!dropInsteadOfCancel) {
                handle.cancel();
                loop.runUntilIdle();
                EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
            }
        }
        loop.runUntilIdle();
        EXPECT_EQ(log->closes, 1) << dropInsteadOfCancel;
        EXPECT_EQ(log->sessionsAlive, 0) << dropInsteadOfCancel;
    }
}

}  // namespace
}  // namespace veska::Translator
