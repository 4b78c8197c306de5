// Language detection with CLD2, leaning equally towards Vietnamese and English.
#include <cstdio>  // the CLD2 header uses FILE without including it
#include <string>
#include <string_view>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include "core/ai/Translator.h"

#include "text/Characters.h"

namespace veska::Translator {

namespace {

/// CLD2's code for a language, as the language table writes it where the two differ.
std::string tableCode(std::string_view cldCode) {
    if (cldCode == "zh") return "zh-Hans";  // CLD2's CHINESE is the simplified script
    if (cldCode == "iw") return "he";       // CLD2 keeps the retired code of Hebrew
    if (cldCode == "jw") return "jv";       // and of Javanese
    return std::string(cldCode);
}

}  // namespace

std::optional<std::string> detect(std::string_view text) {
    const std::string_view head = text::firstCharacters(text, kDetectCharacters);
    if (head.empty()) return std::nullopt;

    // The bias: the content-language hint is CLD2's one hint that names several languages, and
    // it gives every language it names the same prior boost, so "vi,en" tips close calls
    // towards Vietnamese and English without favouring either. The single-language hint stays
    // empty: it would boost only one of the two. No best-effort flag either: a text too short
    // to tell ("ok", "hello") gives nothing rather than a guess the hint order would decide.
    const CLD2::CLDHints hints{"vi,en", nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    CLD2::Language top3[3];
    int percent3[3];
    double scores3[3];
    int textBytes = 0;
    bool reliable = false;
    int validPrefixBytes = 0;
    const CLD2::Language found = CLD2::ExtDetectLanguageSummaryCheckUTF8(
        head.data(), static_cast<int>(head.size()), true, &hints, 0, top3, percent3, scores3, nullptr,
        &textBytes, &reliable, &validPrefixBytes);
    if (found == CLD2::UNKNOWN_LANGUAGE || found == CLD2::TG_UNKNOWN_LANGUAGE || textBytes == 0) {
        return std::nullopt;
    }
    const char* code = CLD2::LanguageCode(found);
    if (code == nullptr) return std::nullopt;
    const std::string_view cldCode(code);
    if (cldCode.empty() || cldCode == "un" || cldCode == "und" || cldCode == "xxx") return std::nullopt;
    return tableCode(cldCode);
}

TranslateLang defaultTarget(const ports::Preferences& prefs) {
    const std::optional<std::string> stored = prefs.string(kTranslateTargetAutoKey);
    return TranslateLang::find(stored).value_or(TranslateLang::swap());
}

}  // namespace veska::Translator
