// The language table, look-up by code and button labels.
#include "core/ai/TranslateLang.h"

#include <array>

#include "text/Ascii.h"

namespace veska {

namespace {

const std::array<TranslateLang, 21>& table() {
    static const std::array<TranslateLang, 21> languages{{
        {"vi", "Vietnamese", "Tiếng Việt"},
        {"en", "English", "English"},
        {"zh-Hans", "Simplified Chinese", "中文（简体）"},
        {"zh-Hant", "Traditional Chinese", "中文（繁體）"},
        {"ja", "Japanese", "日本語"},
        {"ko", "Korean", "한국어"},
        {"th", "Thai", "ไทย"},
        {"id", "Indonesian", "Bahasa Indonesia"},
        {"ms", "Malay", "Bahasa Melayu"},
        {"hi", "Hindi", "हिन्दी"},
        {"fr", "French", "Français"},
        {"de", "German", "Deutsch"},
        {"es", "Spanish", "Español"},
        {"pt", "Portuguese", "Português"},
        {"it", "Italian", "Italiano"},
        {"nl", "Dutch", "Nederlands"},
        {"pl", "Polish", "Polski"},
        {"ru", "Russian", "Русский"},
        {"uk", "Ukrainian", "Українська"},
        {"tr", "Turkish", "Türkçe"},
        {"ar", "Arabic", "العربية"},
    }};
    return languages;
}

}  // namespace

std::span<const TranslateLang> TranslateLang::all() {
    return table();
}

const TranslateLang& TranslateLang::swap() {
    static const TranslateLang pseudo{"swap", "", "Việt ⇄ English"};
    return pseudo;
}

std::optional<TranslateLang> TranslateLang::find(std::optional<std::string_view> code) {
    if (!code || code->empty()) return std::nullopt;
    if (*code == swap().code) return swap();
    for (const TranslateLang& lang : table()) {
        if (lang.code == *code) return lang;
    }
    return std::nullopt;
}

std::string TranslateLang::chip() const {
    if (code == swap().code) return "VI⇄EN";
    std::string label = code.substr(0, code.find('-'));
    for (char& c : label) c = text::asciiUpper(c);
    return label;
}

}  // namespace veska
