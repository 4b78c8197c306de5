// Which key chord pastes (and copies) in which X application: data, not code.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace veska::platform {

/// Most X applications paste on Control+V; terminals take Control+V as a control character
/// and paste on Control+Shift+V (and Control+C interrupts the running program, so they copy on
/// Control+Shift+C).
enum class PasteChord { controlV, controlShiftV };

/// Window classes (WM_CLASS instance or class, compared without letter case) and their chord.
/// The defaults name the common terminals; the "paste_chords" object of v2.json adds or
/// replaces entries: {"xterm": "ctrl+shift+v", "myapp": "ctrl+v"}.
class PasteChordTable {
public:
    [[nodiscard]] static PasteChordTable defaults();
    /// The defaults with the "paste_chords" entries of v2.json's text applied. A file that is
    /// missing or not JSON, and entries whose value is not one of the chord names, change
    /// nothing.
    [[nodiscard]] static PasteChordTable withOverrides(const std::optional<std::string>& v2Json);

    /// The chord for a window with this WM_CLASS instance and class.
    [[nodiscard]] PasteChord chordFor(std::string_view instance, std::string_view windowClass) const;
    /// Sets the chord of one window class.
    void set(std::string_view windowClass, PasteChord chord);

    /// "ctrl+v" or "ctrl+shift+v" (any letter case); nothing for other names.
    [[nodiscard]] static std::optional<PasteChord> parse(std::string_view name);

private:
    std::map<std::string, PasteChord> chords_;
};

}  // namespace veska::platform
