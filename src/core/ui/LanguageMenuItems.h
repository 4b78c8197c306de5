// The entries of the language pop-up menu, in order, as the platform's menu shows them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ai/TranslateLang.h"

namespace veska {

/// One entry: a separator, or a titled item that picks `value` (nothing = as spoken).
struct LanguageMenuItem {
    bool separator = false;
    std::string title;
    std::optional<TranslateLang> value;
    bool checked = false;

    bool operator==(const LanguageMenuItem&) const = default;
};

/// With `includeAuto`: the automatic pair (swap) and a separator. With `includeAsSpoken`: "as
/// spoken" (nothing), the pair (swap) and a separator. Then every language of
/// `TranslateLang::all()`. The item equal to `current` carries the check mark. Titles are in
/// the interface language.
[[nodiscard]] std::vector<LanguageMenuItem> languageMenuItems(const std::optional<TranslateLang>& current,
                                                              bool includeAsSpoken, bool includeAuto);

}  // namespace veska
