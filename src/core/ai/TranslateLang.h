// The languages Veska translates and dictates into.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace veska {

/// A language: its code, its English name (used inside prompts) and its own name (shown in
/// menus). Plain value; equality compares all three names.
struct TranslateLang {
    std::string code;
    std::string english;
    std::string native;

    bool operator==(const TranslateLang&) const = default;

    /// The 21 languages offered, in menu order (Vietnamese, English, then the rest).
    [[nodiscard]] static std::span<const TranslateLang> all();

    /// The pseudo-language "Việt ⇄ English": Vietnamese and English, each into the other.
    /// Not part of `all()`.
    [[nodiscard]] static const TranslateLang& swap();

    /// Nothing for an absent or empty code; `swap()` for "swap"; otherwise the first language
    /// of `all()` with exactly this code, or nothing.
    [[nodiscard]] static std::optional<TranslateLang> find(std::optional<std::string_view> code);

    /// Short label for buttons: "VI⇄EN" for `swap()`, otherwise the code up to its first "-",
    /// upper-cased ("zh-Hans" gives "ZH").
    [[nodiscard]] std::string chip() const;
};

/// The user default holding the target language code of selection translation.
inline constexpr char kTranslateTargetAutoKey[] = "v2.translateTarget.auto";

}  // namespace veska
