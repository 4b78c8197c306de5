// veska-cli run as the user runs it, against the Gemini and DeepSeek fakes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "core/ui/AppStrings.h"
#include "platform/linux/PosixSystemLanguages.h"
#include "platform/sim/SimEnvironment.h"
#include "support/ChildProcess.h"
#include "support/FakeService.h"
#include "support/TempDir.h"

namespace veska::testing {

namespace {

using json = nlohmann::json;

/// The message the user sees for `error` in the interface language `locale`.
std::string messageIn(const std::string& locale, const TranslateError& error) {
    const sim::SimEnvironment env;
    const platform::PosixSystemLanguages languages(env);
    AppStrings::setLocale(json{{"locale", locale}}, languages);
    return AppStrings::translateMessage(error);
}

}  // namespace

class VeskaCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gemini_ = new FakeService("gemini");
        deepseek_ = new FakeService("deepseek");
    }
    static void TearDownTestSuite() {
        delete gemini_;
        delete deepseek_;
    }
    void SetUp() override {
        gemini_->post("/__fake/reset", "{}");
        deepseek_->post("/__fake/reset", "{}");
        configure(R"({"ai": {"translate": "deepseek", "write": "gemini", "fix": "gemini"}})",
                  "GEMINI_API_KEY=test-key\nDEEPSEEK_API_KEY=\"test-key\"\n");
    }

    void configure(const std::string& v2Json, const std::string& v2Env) {
        const auto dir = home_.path() / ".config" / "veska-voice";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "v2.json") << v2Json;
        std::ofstream(dir / "v2.env") << v2Env;
    }

    static void script(FakeService& fake, const json& answer) {
        fake.post("/__fake/script", json{{"model", "*"}, {"answers", {answer}}}.dump());
    }
    static std::vector<json> requests(FakeService& fake) {
        return json::parse(fake.get("/__fake/requests").body)["requests"].get<std::vector<json>>();
    }

    std::map<std::string, std::string> environment(const std::string& lang = "en_US.UTF-8") {
        std::map<std::string, std::string> env = {
            {"HOME", home_.path().string()},          {"LANG", lang},
            {"VESKA_GEMINI_URL", gemini_->baseUrl()}, {"VESKA_DEEPSEEK_URL", deepseek_->baseUrl()},
            {"no_proxy", "127.0.0.1,localhost"},
        };
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) env[name] = value;
        }
        return env;
    }

    ProcessResult cli(std::vector<std::string> arguments, const std::string& input = {},
                      const std::string& lang = "en_US.UTF-8") {
        arguments.insert(arguments.begin(), VESKA_CLI_PATH);
        return runProcess(arguments, environment(lang), input);
    }

    TempDir home_;
    static inline FakeService* gemini_ = nullptr;
    static inline FakeService* deepseek_ = nullptr;
};

TEST_F(VeskaCli, TranslatesPipedTextLineByLineAndPrintsOnlyTheResult) {
    script(*deepseek_, {{"text", "[#0] Xin chào\n[#1] Thế giới"}, {"pieceSize", 3}});
    const auto run = cli({"translate", "--to", "vi"}, "Hello\nWorld\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Xin chào\nThế giới\n");
    EXPECT_EQ(run.err, "");
    const auto seen = requests(*deepseek_);
    ASSERT_EQ(seen.size(), 1u);
    const json body = json::parse(seen[0]["body"].get<std::string>());
    EXPECT_NE(body["messages"][0]["content"].get<std::string>().find("into Vietnamese."), std::string::npos);
    EXPECT_EQ(body["messages"][1]["content"], "[#0] Hello\n[#1] World");
    EXPECT_TRUE(seen[0]["problems"].empty()) << seen[0]["problems"].dump();
}

TEST_F(VeskaCli, WithoutATargetVietnameseTextGoesToEnglish) {
    script(*deepseek_, {{"text", "[#0] Hello everyone, how are you today?"}});
    const auto run =
        cli({"translate", "Xin", "chào", "các", "bạn,", "hôm", "nay", "các", "bạn", "thế", "nào?"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Hello everyone, how are you today?\n");
    const json body = json::parse(requests(*deepseek_).at(0)["body"].get<std::string>());
    EXPECT_NE(body["messages"][0]["content"].get<std::string>().find("into English."), std::string::npos);
}

TEST_F(VeskaCli, FixKeepsTheWhiteSpaceAroundTheAnswerAndUsesTheModeGiven) {
    script(*gemini_, {{"text", "Hello world"}});
    const auto run = cli({"fix", "--mode=email"}, "  helo wrld\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "  Hello world\n");
    const json body = json::parse(requests(*gemini_).at(0)["body"].get<std::string>());
    EXPECT_NE(body["systemInstruction"]["parts"][0]["text"].get<std::string>().find("a polished email"),
              std::string::npos);
    EXPECT_EQ(body["contents"][0]["parts"][0]["text"], "TEXT:\n<<<\nhelo wrld\n>>>");
}

TEST_F(VeskaCli, ComposeSendsTheContextAndTheWords) {
    script(*gemini_, {{"text", "Yes, delivery on the 15th works."}});
    const auto run =
        cli({"compose", "--to", "en", "--context", "Can you deliver on the 15th?", "yes", "the", "15th"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Yes, delivery on the 15th works.\n");
    const json body = json::parse(requests(*gemini_).at(0)["body"].get<std::string>());
    const std::string message = body["contents"][0]["parts"][0]["text"];
    EXPECT_TRUE(message.starts_with("CONTEXT (selected on screen")) << message;
    EXPECT_NE(message.find("Can you deliver on the 15th?"), std::string::npos);
    EXPECT_NE(message.find("DICTATION:\n<<<\nyes the 15th\n>>>"), std::string::npos);
}

TEST_F(VeskaCli, FailuresPrintTheUsersMessageAndExitWithOne) {
    struct Row {
        std::string name;
        json answer;
        std::string lang;
        std::string locale;
        TranslateError expected;
    };
    const std::vector<Row> rows = {
        {"401",
         {{"status", 401}, {"message", "bad"}},
         "en_US.UTF-8",
         "en",
         TranslateError::badKey(AISource::gemini)},
        {"500",
         {{"status", 500}, {"message", "overloaded"}},
         "en_US.UTF-8",
         "en",
         TranslateError::apiFailed(AISource::gemini, "500 · overloaded")},
        {"503 in Vietnamese",
         {{"status", 503}, {"body", ""}},
         "vi_VN.UTF-8",
         "vi",
         TranslateError::apiFailed(AISource::gemini, "503")},
        {"dropped", {{"dropAfter", 0}}, "en_US.UTF-8", "en", TranslateError::unreachable()},
    };
    for (const Row& row : rows) {
        // Every model of the race fails alike.
        gemini_->post("/__fake/script",
                      json{{"model", "*"}, {"answers", {row.answer, row.answer, row.answer}}}.dump());
        const auto run = cli({"fix", "some text"}, {}, row.lang);
        EXPECT_EQ(run.exitCode, 1) << row.name;
        EXPECT_EQ(run.out, "") << row.name;
        EXPECT_EQ(run.err, messageIn(row.locale, row.expected) + "\n") << row.name;
    }
}

TEST_F(VeskaCli, AMissingKeyFailsBeforeAnyRequest) {
    configure(R"({"ai": {"fix": "gemini"}})", "# no keys\n");
    const auto run = cli({"fix", "text"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, messageIn("en", TranslateError::noKey(AISource::gemini)) + "\n");
    EXPECT_TRUE(requests(*gemini_).empty());
}

TEST_F(VeskaCli, UsageErrorsExitWithTwoAndHelpIsEnglish) {
    const auto bad = cli({"translate", "--to", "xx", "hi"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("unknown language code \"xx\""), std::string::npos) << bad.err;
    const auto help = cli({"--help"}, {}, "vi_VN.UTF-8");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage:")) << help.out;
    EXPECT_TRUE(requests(*gemini_).empty() && requests(*deepseek_).empty());
}

TEST_F(VeskaCli, OnATerminalTheTranslationIsRewrittenInPlaceAsItArrives) {
    script(*deepseek_, {{"text", "[#0] Xin chào\n[#1] Thế giới"}, {"pieceSize", 4}, {"gapMs", 30}});
    const auto run =
        runInTerminal({VESKA_CLI_PATH, "translate", "--to", "vi", "Hello\nWorld"}, environment(), 80, 24);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\x1b[J"), std::string::npos) << "partial text is erased and written again";
    EXPECT_TRUE(run.out.ends_with("Xin chào\r\nThế giới\r\n")) << run.out;
}

TEST_F(VeskaCli, ControlCharactersOfAnAnswerNeverReachTheTerminal) {
    script(*deepseek_, {{"text", "[#0] evil\x1b]0;owned\x07 text"}});
    const auto run =
        runInTerminal({VESKA_CLI_PATH, "translate", "--to", "vi", "Hello"}, environment(), 80, 24);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out.find("\x1b]0;"), std::string::npos);
    EXPECT_NE(run.out.find("evil\xEF\xBF\xBD]0;owned\xEF\xBF\xBD text"), std::string::npos) << run.out;
}

}  // namespace veska::testing
