// veska-cli's arguments: actions, options in both forms, text words, and refusals.
#include <gtest/gtest.h>

#include "main/cli/CliOptions.h"

namespace veska::cli {

TEST(CliOptions, ArgumentsBecomeTheCommand) {
    using Translator::WriteMode;
    struct Row {
        std::vector<std::string> arguments;
        CliCommand expected;
    };
    const std::vector<Row> rows = {
        {{"translate"}, {Action::translate, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        {{"translate", "--to", "ja", "Good", "morning"},
         {Action::translate, "ja", std::nullopt, std::nullopt, "Good morning"}},
        {{"translate", "--to=swap", "--", "--to", "x"},
         {Action::translate, "swap", std::nullopt, std::nullopt, "--to x"}},
        {{"fix", "--mode", "prompt"},
         {Action::fix, std::nullopt, WriteMode::prompt, std::nullopt, std::nullopt}},
        {{"fix", "a", "--mode=email", "b"},
         {Action::fix, std::nullopt, WriteMode::email, std::nullopt, "a b"}},
        {{"compose", "--context", "Hi --to", "--to", "zh-Hans", "ok"},
         {Action::compose, "zh-Hans", std::nullopt, "Hi --to", "ok"}},
        {{"compose", "--context="}, {Action::compose, std::nullopt, std::nullopt, "", std::nullopt}},
    };
    for (const Row& row : rows) {
        const ParsedArguments parsed = parseArguments(row.arguments);
        ASSERT_TRUE(parsed.command.has_value()) << parsed.error;
        EXPECT_EQ(*parsed.command, row.expected) << row.arguments.front();
    }
}

TEST(CliOptions, WrongArgumentsAreRefusedWithTheirReason) {
    struct Row {
        std::vector<std::string> arguments;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {{}, "no action"},
        {{"translat"}, "unknown action"},
        {{"translate", "--to"}, "--to needs a value"},
        {{"translate", "--to", "klingon"}, "unknown language code \"klingon\""},
        {{"translate", "--mode", "email"}, "unknown option --mode for translate"},
        {{"fix", "--to", "en"}, "unknown option --to for fix"},
        {{"fix", "--mode", "poem"}, "unknown mode \"poem\""},
        {{"translate", "--context", "x"}, "unknown option --context"},
        {{"compose", "--verbose"}, "unknown option --verbose"},
    };
    for (const Row& row : rows) {
        const ParsedArguments parsed = parseArguments(row.arguments);
        EXPECT_FALSE(parsed.command.has_value());
        EXPECT_NE(parsed.error.find(row.reason), std::string::npos) << parsed.error;
    }
}

TEST(CliOptions, HelpWinsAnywhereBeforeTheEndOfOptions) {
    EXPECT_TRUE(parseArguments({"--help"}).help);
    EXPECT_TRUE(parseArguments({"fix", "--mode", "bogus", "-h"}).help);
    const ParsedArguments literal = parseArguments({"fix", "--", "--help"});
    ASSERT_TRUE(literal.command.has_value());
    EXPECT_EQ(literal.command->text, "--help");
    EXPECT_TRUE(usage().starts_with("Usage:"));
}

}  // namespace veska::cli
