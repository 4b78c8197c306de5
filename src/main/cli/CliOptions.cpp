// Parsing veska-cli's arguments.
#include "main/cli/CliOptions.h"

#include "core/ai/TranslateLang.h"

namespace veska::cli {

namespace {

std::optional<Action> actionOf(const std::string& word) {
    if (word == "translate") return Action::translate;
    if (word == "fix") return Action::fix;
    if (word == "compose") return Action::compose;
    return std::nullopt;
}

std::optional<Translator::WriteMode> modeOf(const std::string& word) {
    for (auto mode : Translator::kAllWriteModes) {
        if (Translator::rawValue(mode) == word) return mode;
    }
    return std::nullopt;
}

/// Which options an action takes.
bool accepts(Action action, const std::string& option) {
    if (option == "--to") return action != Action::fix;
    if (option == "--mode") return action != Action::translate;
    if (option == "--context") return action == Action::compose;
    return false;
}

ParsedArguments failure(std::string reason) {
    return ParsedArguments{std::nullopt, false, std::move(reason)};
}

/// Applies one option and its value to `command`; a reason when it cannot.
std::optional<std::string> apply(CliCommand& command, const std::string& option, const std::string& value) {
    if (option == "--to") {
        if (!TranslateLang::find(value)) return "unknown language code \"" + value + "\" (see --help)";
        command.to = value;
    } else if (option == "--mode") {
        auto mode = modeOf(value);
        if (!mode) return "unknown mode \"" + value + "\" (normal, prompt or email)";
        command.mode = mode;
    } else {
        command.context = value;
    }
    return std::nullopt;
}

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    for (const auto& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") return ParsedArguments{std::nullopt, true, {}};
    }
    if (arguments.empty()) return failure("no action given (translate, fix or compose)");
    auto action = actionOf(arguments[0]);
    if (!action) return failure("unknown action \"" + arguments[0] + "\" (translate, fix or compose)");
    CliCommand command;
    command.action = *action;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("--")) {
            words.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const auto equals = argument.find('=');
        const std::string option = argument.substr(0, equals);
        if (!accepts(command.action, option))
            return failure("unknown option " + option + " for " + arguments[0]);
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return failure(option + " needs a value");
        }
        if (auto reason = apply(command, option, value)) return failure(*reason);
    }
    if (!words.empty()) {
        std::string text = words[0];
        for (std::size_t i = 1; i < words.size(); ++i) text += " " + words[i];
        command.text = std::move(text);
    }
    return ParsedArguments{std::move(command), false, {}};
}

std::string usage() {
    std::string codes;
    for (const auto& lang : TranslateLang::all()) codes += (codes.empty() ? "" : ", ") + lang.code;
    return "Usage:\n"
           "  veska-cli translate [--to CODE] [TEXT]\n"
           "  veska-cli fix [--mode normal|prompt|email] [TEXT]\n"
           "  veska-cli compose [--to CODE] [--context TEXT] [--mode normal|prompt|email] [TEXT]\n"
           "\n"
           "Translates, proof-reads or writes up TEXT (or standard input when no TEXT is given) with\n"
           "the AI source chosen for that action in ~/.config/veska-voice/v2.json, the keys of\n"
           "v2.env, and the service addresses of the environment (VESKA_GEMINI_URL,\n"
           "VESKA_DEEPSEEK_URL, ...). On a terminal the translation is shown as it arrives;\n"
           "otherwise only the result is printed.\n"
           "\n"
           "Options:\n"
           "  --to CODE        target language: swap (Vietnamese <-> English) or one of\n"
           "                   " +
           codes +
           "\n"
           "                   (translate: the stored default target when not given;\n"
           "                   compose: the language of the context or of the words otherwise)\n"
           "  --mode MODE      writing mode of fix and compose (the stored mode when not given)\n"
           "  --context TEXT   what compose answers or edits\n"
           "  --help           this help\n"
           "\n"
           "Exit status: 0 on success, 1 when the action failed (the reason is printed in the\n"
           "interface language), 2 for a usage error.\n";
}

}  // namespace veska::cli
