// The language pop-up menu at the pointer.
#pragma once

#include <memory>

#include "core/app/AppCollaborators.h"

class QMenu;

namespace veska::platform {

/// Pops up a menu of languages where the pointer is; the chosen entry goes to `pick`; dismissing
/// the menu calls nothing. One menu at a time: showing another closes the first
/// without a pick. GUI thread.
class QtLanguageMenu final : public LanguageMenu {
public:
    QtLanguageMenu();
    ~QtLanguageMenu() override;
    QtLanguageMenu(const QtLanguageMenu&) = delete;
    QtLanguageMenu& operator=(const QtLanguageMenu&) = delete;

    void show(const std::optional<TranslateLang>& current, bool includeAsSpoken, bool includeAuto,
              Pick pick) override;

    /// The open menu, if any.
    [[nodiscard]] QMenu* menu() const { return menu_.get(); }

private:
    std::unique_ptr<QMenu> menu_;
};

}  // namespace veska::platform
