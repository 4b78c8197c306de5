// Key names and the characters of the Apple ANSI layout's letter and digit keys.
#include "platform/sim/SimKeyNames.h"

#include <array>
#include <cctype>
#include <utility>

#include "text/Ascii.h"

namespace veska::sim {

namespace {

using ports::KeyCode;
namespace keys = ports::keys;

// Letters and digits by key code (Apple ANSI layout).
constexpr std::array<std::pair<char, KeyCode>, 36> kCharacterKeys{{
    {'a', 0},  {'s', 1},  {'d', 2},  {'f', 3},  {'h', 4},  {'g', 5},  {'z', 6},  {'x', 7},  {'c', 8},
    {'v', 9},  {'b', 11}, {'q', 12}, {'w', 13}, {'e', 14}, {'r', 15}, {'y', 16}, {'t', 17}, {'1', 18},
    {'2', 19}, {'3', 20}, {'4', 21}, {'6', 22}, {'5', 23}, {'9', 25}, {'7', 26}, {'8', 28}, {'0', 29},
    {'o', 31}, {'u', 32}, {'i', 34}, {'p', 35}, {'l', 37}, {'j', 38}, {'k', 40}, {'n', 45}, {'m', 46},
}};

constexpr std::array<std::pair<std::string_view, KeyCode>, 18> kNamedKeys{{
    {"fn", keys::kFn},
    {"control", keys::kControl},
    {"rightControl", keys::kRightControl},
    {"option", keys::kOption},
    {"rightOption", keys::kRightOption},
    {"command", keys::kCommand},
    {"rightCommand", keys::kRightCommand},
    {"shift", keys::kShift},
    {"rightShift", keys::kRightShift},
    {"escape", keys::kEscape},
    {"delete", keys::kDelete},
    {"return", keys::kReturn},
    {"tab", keys::kTab},
    {"space", keys::kSpace},
    {"left", keys::kLeftArrow},
    {"right", keys::kRightArrow},
    {"alt", keys::kOption},
    {"backspace", keys::kDelete},
}};

constexpr std::array<std::pair<char, char>, 10> kShiftedDigits{{
    {'1', '!'}, {'2', '@'}, {'3', '#'}, {'4', '$'}, {'5', '%'}, {'6', '^'}, {'7', '&'}, {'8', '*'}, {'9', '('}, {'0', ')'},
}};

}  // namespace

std::optional<KeyCode> keyCodeFromName(std::string_view name) {
    for (const auto& [keyNameText, code] : kNamedKeys) {
        if (keyNameText == name) return code;
    }
    if (name.size() == 1) {
        const char c = text::asciiLower(name[0]);
        for (const auto& [character, code] : kCharacterKeys) {
            if (character == c) return code;
        }
    }
    return std::nullopt;
}

std::string keyName(KeyCode code) {
    for (const auto& [name, keyCode] : kNamedKeys) {
        if (keyCode == code) return std::string(name);
    }
    for (const auto& [character, keyCode] : kCharacterKeys) {
        if (keyCode == code) return std::string(1, character);
    }
    return std::to_string(code);
}

std::optional<std::string> typedCharacter(KeyCode code, bool shift) {
    if (code == keys::kSpace) return std::string(" ");
    for (const auto& [character, keyCode] : kCharacterKeys) {
        if (keyCode != code) continue;
        if (!shift) return std::string(1, character);
        if (std::isalpha(static_cast<unsigned char>(character)) != 0) {
            return std::string(1, text::asciiUpper(character));
        }
        for (const auto& [digit, shifted] : kShiftedDigits) {
            if (digit == character) return std::string(1, shifted);
        }
    }
    return std::nullopt;
}

std::optional<ports::KeyFlags> flagFromName(std::string_view name) {
    namespace flags = ports::flags;
    if (name == "command") return flags::kCommand;
    if (name == "control") return flags::kControl;
    if (name == "option" || name == "alt") return flags::kOption;
    if (name == "shift") return flags::kShift;
    if (name == "fn") return flags::kFn;
    return std::nullopt;
}

}  // namespace veska::sim
