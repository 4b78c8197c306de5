// Which key chord pastes (and copies) in which X application: data, not code.
#include "platform/linux/x11/PasteChordTable.h"

#include <algorithm>
#include <array>
#include <cctype>

#include <nlohmann/json.hpp>

namespace veska::platform {

namespace {

/// WM_CLASS names of terminals (instance or class, lower case).
constexpr std::array<std::string_view, 24> kTerminals{
    "xterm",          "uxterm",         "gnome-terminal-server", "gnome-terminal", "konsole",
    "xfce4-terminal", "terminator",     "alacritty",             "kitty",          "tilix",
    "urxvt",          "rxvt",           "st-256color",           "st",             "wezterm",
    "org.wezfurlong.wezterm", "foot",   "qterminal",             "lxterminal",     "mate-terminal",
    "terminology",    "sakura",         "guake",                 "tilda",
};

std::string lowercased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

PasteChordTable PasteChordTable::defaults() {
    PasteChordTable table;
    for (std::string_view name : kTerminals) table.set(name, PasteChord::controlShiftV);
    return table;
}

PasteChordTable PasteChordTable::withOverrides(const std::optional<std::string>& v2Json) {
    PasteChordTable table = defaults();
    if (!v2Json) return table;
    const nlohmann::json root = nlohmann::json::parse(*v2Json, nullptr, false);
    if (!root.is_object()) return table;
    const auto entries = root.find("paste_chords");
    if (entries == root.end() || !entries->is_object()) return table;
    for (const auto& [name, value] : entries->items()) {
        if (!value.is_string() || name.empty()) continue;
        if (const auto chord = parse(value.get<std::string>())) table.set(name, *chord);
    }
    return table;
}

PasteChord PasteChordTable::chordFor(std::string_view instance, std::string_view windowClass) const {
    for (std::string_view name : {instance, windowClass}) {
        if (name.empty()) continue;
        if (auto it = chords_.find(lowercased(name)); it != chords_.end()) return it->second;
    }
    return PasteChord::controlV;
}

void PasteChordTable::set(std::string_view windowClass, PasteChord chord) {
    chords_[lowercased(windowClass)] = chord;
}

std::optional<PasteChord> PasteChordTable::parse(std::string_view name) {
    const std::string lower = lowercased(name);
    if (lower == "ctrl+v") return PasteChord::controlV;
    if (lower == "ctrl+shift+v") return PasteChord::controlShiftV;
    return std::nullopt;
}

}  // namespace veska::platform
