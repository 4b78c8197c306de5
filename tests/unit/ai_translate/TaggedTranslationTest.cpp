// The translate flow on virtual time, against a scripted text session.
#include <gtest/gtest.h>

#include <memory>

#include "core/ai/TaggedTranslation.h"
#include "core/ai/TranslateError.h"
#include "runtime/Executor.h"
#include "runtime/Sleep.h"
#include "runtime/Spawn.h"
#include "runtime/VirtualLoop.h"
#include "text/WhiteSpace.h"

namespace veska::Translator {

namespace {

const TranslateLang kVietnamese{"vi", "Vietnamese", "Tiếng Việt"};

struct Log {
    int made = 0;
    int closed = 0;
    std::vector<std::string> opened;
    std::vector<std::string> messages;
    std::vector<int> sessionOfMessage;
};

// How the scripted service answers: the successive answers-so-far for a message (the last one
// is the complete answer), how long a message takes, and where it fails.
struct Script {
    std::function<std::vector<std::string>(const std::string& message)> reply = [](const std::string& m) {
        return std::vector<std::string>{m};
    };
    double secondsPerMessage = 2;
    bool openFails = false;
    int failOnMessage = -1;
};

class ScriptedSession : public TextSession {
public:
    ScriptedSession(std::shared_ptr<Log> log, std::shared_ptr<Script> script)
        : log_(std::move(log)),
          script_(std::move(script)),
          number_(log_->made),
          createdAt_(rt::Executor::current()->now()) {}

    [[nodiscard]] double age() const override { return rt::Executor::current()->now() - createdAt_; }

    rt::Task<void> open(std::string instructions) override {
        log_->opened.push_back(std::move(instructions));
        if (script_->openFails) throw TranslateError::unreachable();
        co_return;
    }

    rt::Task<std::string> send(std::string text, OnDelta onDelta) override {
        auto index = static_cast<int>(log_->messages.size());
        log_->messages.push_back(text);
        log_->sessionOfMessage.push_back(number_);
        if (index == script_->failOnMessage) throw TranslateError::apiFailed(AISource::gemini, "500 · down");
        std::vector<std::string> steps = script_->reply(text);
        for (const std::string& step : steps) {
            co_await rt::sleepFor(script_->secondsPerMessage / static_cast<double>(steps.size()));
            onDelta(step);
        }
        co_return steps.empty() ? std::string() : steps.back();
    }

    void close() override { ++log_->closed; }

private:
    std::shared_ptr<Log> log_;
    std::shared_ptr<Script> script_;
    int number_;
    double createdAt_;
};

struct Rig {
    rt::VirtualLoop loop;
    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::shared_ptr<Script> script = std::make_shared<Script>();
    std::vector<std::string> partials;
    bool factoryFails = false;

    SessionFactory factory() {
        return
            [log = log, script = script, fails = factoryFails](AITask task) -> std::unique_ptr<TextSession> {
                EXPECT_EQ(task, AITask::translate);
                if (fails) throw TranslateError::noKey(AISource::gemini);
                ++log->made;
                return std::make_unique<ScriptedSession>(log, script);
            };
    }

    std::string run(std::string text, Style style = Style::speech, TranslateLang to = kVietnamese,
                    bool markdown = false) {
        OnPartial onPartial = [this](const std::string& soFar) { partials.push_back(soFar); };
        return loop.run(translate(std::move(text), std::move(to), style, markdown, onPartial, factory()));
    }
};

// Answers every tagged line with its text upper-cased (ASCII), keeping the tags.
std::vector<std::string> shout(const std::string& message) {
    std::string out = message;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return {out};
}

TEST(TaggedTranslation, EmptyLineStaysInPlaceAndOnlyTextLinesTravel) {
    Rig rig;
    rig.script->reply = [](const std::string&) { return std::vector<std::string>{"[#0] Một\n[#1] Hai"}; };
    EXPECT_EQ(rig.run("One\n\nTwo"), "Một\n\nHai");
    EXPECT_EQ(rig.log->messages, std::vector<std::string>{"[#0] One\n[#1] Two"});
    EXPECT_EQ(rig.log->opened,
              std::vector<std::string>{instructions("Vietnamese", Style::speech, Tag("[#", "]"), false)});
    EXPECT_EQ(rig.log->made, 1);
    EXPECT_EQ(rig.log->closed, 1);
}

TEST(TaggedTranslation, IndentationAndOuterWhiteSpaceComeBack) {
    Rig rig;
    rig.script->reply = shout;
    EXPECT_EQ(rig.run("\n  Title\n    indented line \n\t- item\n\n"),
              "\n  TITLE\n    INDENTED LINE \n\t- ITEM\n\n");
    EXPECT_EQ(rig.log->messages, std::vector<std::string>{"[#0] Title\n[#1] indented line\n[#2] - item"});
}

TEST(TaggedTranslation, TextHoldingTheFirstTagUsesTheNextShape) {
    Rig rig;
    rig.script->reply = shout;
    EXPECT_EQ(rig.run("see [#4] here\nnext"), "SEE [#4] HERE\nNEXT");
    EXPECT_EQ(rig.log->messages, std::vector<std::string>{"⟦0⟧ see [#4] here\n⟦1⟧ next"});
    EXPECT_NE(rig.log->opened.at(0).find("a tag like ⟦3⟧."), std::string::npos);
}

TEST(TaggedTranslation, AnswerOutcomesTable) {
    struct Row {
        std::string name;
        std::string answer;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"in order", "[#0] Một\n[#1] Hai", "Một\nHai"},
        {"reordered tags fall back to the first line", "[#1] Hai\n[#0] Một", "Hai\nMột"},
        {"no tags at all", "Một hai", "Một hai"},
        {"preamble replaced by own text", "Here you go:\n[#0] Một\n[#1] Hai", "Một\nHai"},
        {"preamble kept when own text is empty", "Một\n[#0]\n[#1] Hai", "Một\nHai"},
        {"second tag missing", "[#0] Một hai", "Một hai"},
        {"empty answer", "", ""},
        {"garbage", "[#\n]]]⟦⟦ [#-1] [#x]", "[#\n]]]⟦⟦ [#-1] [#x]"},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.script->reply = [answer = row.answer](const std::string&) {
            return std::vector<std::string>{answer};
        };
        EXPECT_EQ(rig.run("One\nTwo"), row.expected) << row.name;
        EXPECT_EQ(rig.log->closed, 1) << row.name;
    }
}

TEST(TaggedTranslation, BlankTextMakesNoCall) {
    for (const std::string& text : {std::string(), std::string("  \n\t\n ")}) {
        Rig rig;
        EXPECT_EQ(rig.run(text), text);
        EXPECT_EQ(rig.log->made, 0);
    }
}

TEST(TaggedTranslation, LengthLimitCountsCharacters) {
    std::string limit;
    for (int i = 0; i < 15'000; ++i) limit += "ệ";
    Rig fits;
    EXPECT_EQ(fits.run(limit), limit);  // cut without spaces, glued back with nothing
    EXPECT_EQ(fits.log->messages.size(), 13U);

    Rig over;
    try {
        over.run(limit + "a");
        ADD_FAILURE() << "no error";
    } catch (const TranslateError& error) {
        EXPECT_EQ(error.kind(), TranslateError::Kind::tooLong);
    }
    EXPECT_EQ(over.log->made, 0);
}

// Three sentences of 1000 characters on one line.
std::string longParagraph() {
    std::string out;
    for (int s = 0; s < 3; ++s) {
        if (s > 0) out += ' ';
        out += "X";
        for (int i = 1; i < 999; ++i) out += (i % 10 == 9) ? ' ' : 'x';
        out += '.';
    }
    return out;
}

TEST(TaggedTranslation, LongParagraphRejoinsBySpaceOrNothing) {
    const std::string line = longParagraph();
    struct Row {
        TranslateLang to;
        std::string separator;
    };
    const std::vector<Row> rows{{kVietnamese, " "},
                                {{"zh-Hans", "Simplified Chinese", "中文（简体）"}, ""},
                                {{"ja", "Japanese", "日本語"}, ""},
                                {{"th", "Thai", "ไทย"}, ""},
                                {{"en", "English", "English"}, " "}};
    for (const Row& row : rows) {
        Rig rig;
        std::string out = rig.run(line, Style::speech, row.to);
        std::vector<std::string_view> parts = text::splitAt(line, ". ");
        ASSERT_EQ(parts.size(), 3U);
        EXPECT_EQ(out, std::string(parts[0]) + "." + row.separator + std::string(parts[1]) + "." +
                           row.separator + std::string(parts[2]))
            << row.to.code;
        EXPECT_EQ(rig.log->messages.size(), 3U);  // 1008 + 1007 > 1800
    }
}

TEST(TaggedTranslation, StreamingShowsRawWordsThenRenderedLines) {
    Rig rig;
    // Two messages: lines 0 and 1, then line 2 (1008 + 11 + 1000 > 1800).
    std::string three = std::string(1000, 'a') + "\nTwo\n" + std::string(1000, 'c');
    rig.script->reply = [](const std::string& message) {
        if (message.starts_with("[#0]")) {
            return std::vector<std::string>{"Mộ", "[#0]", "[#0] Một\n[#1", "[#0] Một\n[#1] Ha",
                                            "[#0] Một\n[#1] Hai"};
        }
        return std::vector<std::string>{"Ba ¶ b", "[#2] Ba ¶ bốn"};
    };
    EXPECT_EQ(rig.run(three, Style::reading), "Một\nHai\nBa\n\nbốn");
    EXPECT_EQ(rig.partials, (std::vector<std::string>{"Mộ", "", "Một\n[#1", "Một\nHa", "Một\nHai",
                                                      "Một\nHai\nBa\n\nb", "Một\nHai\nBa\n\nbốn"}));
}

TEST(TaggedTranslation, OldSessionIsReplacedBetweenMessages) {
    Rig rig;
    rig.script->reply = shout;
    rig.script->secondsPerMessage = 150;
    std::string text = std::string(1500, 'a') + "\n" + std::string(1500, 'b') + "\n" + std::string(1500, 'c');
    EXPECT_EQ(rig.run(text),
              std::string(1500, 'A') + "\n" + std::string(1500, 'B') + "\n" + std::string(1500, 'C'));
    // Ages before each message: 0, 150 (kept), 300 (replaced).
    EXPECT_EQ(rig.log->sessionOfMessage, (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(rig.log->opened.size(), 2U);
    EXPECT_EQ(rig.log->opened[0], rig.log->opened[1]);
    EXPECT_EQ(rig.log->closed, 2);
}

TEST(TaggedTranslation, FailuresCloseTheSessionAndPassTheError) {
    struct Row {
        std::string name;
        bool factoryFails;
        bool openFails;
        int failOnMessage;
        TranslateError::Kind kind;
        int made;
        std::size_t partials;
    };
    const std::vector<Row> rows{
        {"factory", true, false, -1, TranslateError::Kind::noKey, 0, 0},
        {"open", false, true, -1, TranslateError::Kind::unreachable, 1, 0},
        {"second message", false, false, 1, TranslateError::Kind::apiFailed, 1, 1},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.factoryFails = row.factoryFails;
        rig.script->openFails = row.openFails;
        rig.script->failOnMessage = row.failOnMessage;
        try {
            rig.run(std::string(1500, 'a') + "\n" + std::string(1500, 'b'));
            ADD_FAILURE() << row.name;
        } catch (const TranslateError& error) {
            EXPECT_EQ(error.kind(), row.kind) << row.name;
        }
        EXPECT_EQ(rig.log->made, row.made) << row.name;
        EXPECT_EQ(rig.log->closed, row.made) << row.name;
        EXPECT_EQ(rig.partials.size(), row.partials) << row.name;
    }
}

TEST(TaggedTranslation, CancellingMidAnswerClosesTheSessionAndSendsNoMore) {
    Rig rig;
    rig.script->reply = [](const std::string&) { return std::vector<std::string>{"[#0] Mộ", "[#0] Một"}; };
    rig.script->secondsPerMessage = 10;
    std::string text = std::string(1500, 'a') + "\n" + std::string(1500, 'b');
    rt::JoinHandle<std::string> handle = rt::spawn(
        rig.loop.main(), translate(text, kVietnamese, Style::speech, false, std::nullopt, rig.factory()));
    rig.loop.runFor(6);
    EXPECT_EQ(rig.log->messages.size(), 1U);
    EXPECT_EQ(rig.log->closed, 0);
    handle.cancel();
    rig.loop.runFor(60);
    EXPECT_EQ(handle.outcome(), rt::Outcome::cancelled);
    EXPECT_EQ(rig.log->messages.size(), 1U);
    EXPECT_EQ(rig.log->closed, 1);
}

}  // namespace
}  // namespace veska::Translator
