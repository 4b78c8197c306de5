#include "platform/linux/windows/QtLanguageMenu.h"

#include <QCursor>
#include <QMenu>

#include "core/ui/LanguageMenuItems.h"

namespace veska::platform {

QtLanguageMenu::QtLanguageMenu() = default;
QtLanguageMenu::~QtLanguageMenu() = default;

void QtLanguageMenu::show(const std::optional<TranslateLang>& current, bool includeAsSpoken, bool includeAuto,
                          Pick pick) {
    if (menu_) {
        // The old menu may be the one whose entry is calling us: let Qt delete it later.
        menu_->close();
        menu_.release()->deleteLater();
    }
    menu_ = std::make_unique<QMenu>();
    for (const LanguageMenuItem& item : languageMenuItems(current, includeAsSpoken, includeAuto)) {
        if (item.separator) {
            menu_->addSeparator();
            continue;
        }
        QAction* action = menu_->addAction(QString::fromStdString(item.title));
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        QObject::connect(action, &QAction::triggered, menu_.get(), [pick, value = item.value] {
            if (pick) pick(value);
        });
    }
    menu_->popup(QCursor::pos());
}

}  // namespace veska::platform
