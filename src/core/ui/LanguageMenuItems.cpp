#include "core/ui/LanguageMenuItems.h"

#include "core/ui/AppStrings.h"

namespace veska {

std::vector<LanguageMenuItem> languageMenuItems(const std::optional<TranslateLang>& current,
                                                bool includeAsSpoken, bool includeAuto) {
    std::vector<LanguageMenuItem> items;
    const auto add = [&](std::string title, std::optional<TranslateLang> value) {
        const bool checked = value == current;
        items.push_back(
            {.separator = false, .title = std::move(title), .value = std::move(value), .checked = checked});
    };
    const LanguageMenuItem separator{.separator = true, .title = {}, .value = std::nullopt, .checked = false};
    if (includeAuto) {
        add(AppStrings::pick("Tự động: Anh → Việt, Việt → Anh",
                             "Automatic: English → Vietnamese, Vietnamese → English"),
            TranslateLang::swap());
        items.push_back(separator);
    }
    if (includeAsSpoken) {
        add(AppStrings::pick("Như lời nói", "As spoken"), std::nullopt);
        add(AppStrings::pick("Việt ⇄ English (nói Việt ra Anh, nói Anh ra Việt)",
                             "Vietnamese ⇄ English (each to the other)"),
            TranslateLang::swap());
        items.push_back(separator);
    }
    for (const TranslateLang& lang : TranslateLang::all()) {
        if (lang == TranslateLang::swap()) continue;
        add(lang.native, lang);
    }
    return items;
}

}  // namespace veska
