// The command line of veska-cli: actions, options and the help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ai/WriteMode.h"

namespace veska::cli {

enum class Action { translate, fix, compose };

/// One invocation, as the user typed it.
struct CliCommand {
    Action action = Action::translate;
    /// `--to CODE`: a code of the language table, or "swap".
    std::optional<std::string> to;
    /// `--mode normal|prompt|email`; none: the stored writing mode.
    std::optional<Translator::WriteMode> mode;
    /// `--context TEXT` of compose.
    std::optional<std::string> context;
    /// The words after the options joined by single spaces; none: read standard input.
    std::optional<std::string> text;

    bool operator==(const CliCommand&) const = default;
};

/// What the arguments ask for: a command, the help text, or a usage error with its reason.
struct ParsedArguments {
    std::optional<CliCommand> command;
    bool help = false;
    std::string error;
};

/// Reads the arguments after the program name. "--" ends the options; "--opt=value" and
/// "--opt value" are both accepted.
[[nodiscard]] ParsedArguments parseArguments(const std::vector<std::string>& arguments);

/// The help text (English).
[[nodiscard]] std::string usage();

}  // namespace veska::cli
