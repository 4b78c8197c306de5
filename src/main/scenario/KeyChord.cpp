// Parsing, naming and posting key chords; turning typed text into keys.
#include "main/scenario/KeyChord.h"

#include <array>
#include <map>
#include <utility>

#include "platform/sim/SimKeyNames.h"

namespace veska::scenario {

namespace {

namespace flags = ports::flags;
namespace keys = ports::keys;

constexpr std::array<std::pair<ports::KeyFlags, std::string_view>, 5> kModifierOrder{{
    {flags::kControl, "control"},
    {flags::kOption, "option"},
    {flags::kShift, "shift"},
    {flags::kCommand, "command"},
    {flags::kFn, "fn"},
}};

/// The key and Shift state that type each printable ASCII character on the simulated layout.
const std::map<char, std::pair<ports::KeyCode, bool>>& typingKeys() {
    static const auto table = [] {
        std::map<char, std::pair<ports::KeyCode, bool>> out;
        for (bool shift : {false, true}) {
            for (ports::KeyCode code = 0; code < 128; ++code) {
                auto typed = sim::typedCharacter(code, shift);
                if (typed && typed->size() == 1 && !out.contains((*typed)[0])) out[(*typed)[0]] = {code, shift};
            }
        }
        return out;
    }();
    return table;
}

}  // namespace

ports::KeyFlags KeyChord::modifiers() const {
    ports::KeyFlags out = 0;
    for (auto code : modifierKeys) out |= ports::modifierFlagOf(code);
    return out;
}

std::optional<KeyChord> parseChord(std::string_view text, std::string& why) {
    KeyChord chord;
    std::size_t start = 0;
    while (true) {
        const std::size_t plus = text.find('+', start);
        const std::string_view part = text.substr(start, plus == std::string_view::npos ? text.npos : plus - start);
        if (part.empty()) {
            why = "a key chord is key names joined by \"+\", such as \"command+v\"";
            return std::nullopt;
        }
        auto code = sim::keyCodeFromName(part);
        if (!code) {
            why = "unknown key \"" + std::string(part) + "\"";
            return std::nullopt;
        }
        if (plus == std::string_view::npos) {
            chord.key = *code;
            return chord;
        }
        const ports::KeyFlags bit = ports::modifierFlagOf(*code);
        if (bit == 0) {
            why = "\"" + std::string(part) + "\" is not a modifier; only the last key of a chord may be one";
            return std::nullopt;
        }
        if ((chord.modifiers() & bit) != 0) {
            why = "names the modifier \"" + std::string(part) + "\" twice";
            return std::nullopt;
        }
        chord.modifierKeys.push_back(*code);
        start = plus + 1;
    }
}

std::vector<std::string> modifierNames(ports::KeyFlags flagWord) {
    std::vector<std::string> out;
    for (const auto& [bit, name] : kModifierOrder) {
        if ((flagWord & bit) != 0) out.emplace_back(name);
    }
    return out;
}

std::string chordName(ports::KeyCode key, ports::KeyFlags flagWord) {
    std::string out;
    for (const auto& name : modifierNames(flagWord & ~ports::modifierFlagOf(key))) out += name + "+";
    return out + sim::keyName(key);
}

std::vector<ports::SyntheticKey> postedKeys(const KeyChord& chord) {
    std::vector<ports::SyntheticKey> out;
    ports::KeyFlags held = 0;
    for (auto code : chord.modifierKeys) {
        held |= ports::modifierFlagOf(code);
        out.push_back({code, true, held});
    }
    out.push_back({chord.key, true, held | ports::modifierFlagOf(chord.key)});
    out.push_back({chord.key, false, held});
    for (auto it = chord.modifierKeys.rbegin(); it != chord.modifierKeys.rend(); ++it) {
        held &= ~ports::modifierFlagOf(*it);
        out.push_back({*it, false, held});
    }
    return out;
}

std::vector<TypedPiece> planTyping(std::string_view utf8) {
    std::vector<TypedPiece> out;
    const auto& table = typingKeys();
    for (char c : utf8) {
        std::optional<std::pair<ports::KeyCode, bool>> key;
        if (c == '\n') key = std::pair{keys::kReturn, false};
        if (auto it = table.find(c); it != table.end()) key = it->second;
        if (key) {
            out.push_back({key->first, key->second, {}});
            continue;
        }
        // Bytes of multi-byte characters and signs without a key stay together as one run.
        if (out.empty() || out.back().key) out.push_back({});
        out.back().committed += c;
    }
    return out;
}

}  // namespace veska::scenario
