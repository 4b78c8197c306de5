#include "platform/linux/tray/QtStatusItem.h"

#include <QCursor>
#include <QToolTip>

#include <array>
#include <utility>

#include "core/ui/AppStrings.h"
#include "platform/linux/icons/VeskaIcons.h"
#include "platform/linux/tray/TrayIconImage.h"

namespace veska::platform {

namespace {

/// The menu's entries in order; a separator goes before the ones marked.
struct EntryRow {
    StatusAction action;
    bool separatorBefore;
};
constexpr std::array<EntryRow, 6> kEntries{{
    {StatusAction::cancelWork, false},
    {StatusAction::openDash, true},
    {StatusAction::openPerms, false},
    {StatusAction::loginGPT, false},
    {StatusAction::toggleLaunchLogin, true},
    {StatusAction::quit, true},
}};

std::string label(StatusAction action) {
    switch (action) {
        case StatusAction::cancelWork:
            return AppStrings::menuStop();
        case StatusAction::openDash:
            return AppStrings::menuSettings();
        case StatusAction::openPerms:
            return AppStrings::menuPermissions();
        case StatusAction::loginGPT:
            return AppStrings::menuSignInChatGPT();
        case StatusAction::toggleLaunchLogin:
            return AppStrings::menuOpenAtLogin();
        case StatusAction::quit:
            return AppStrings::menuQuit();
    }
    return {};
}

}  // namespace

QtStatusItem::QtStatusItem() : menu_(std::make_unique<QMenu>()), tray_(std::make_unique<QSystemTrayIcon>()) {
    for (const EntryRow& row : kEntries) {
        if (row.separatorBefore) menu_->addSeparator();
        QAction* entry = menu_->addAction(QString());
        entries_[row.action] = entry;
        const StatusAction action = row.action;
        QObject::connect(entry, &QAction::triggered, menu_.get(), [this, action] {
            // The check mark shows what the app says, not the click: it comes back through
            // setLaunchAtLoginChecked once the setting really changed.
            if (action == StatusAction::toggleLaunchLogin) entries_.at(action)->setChecked(launchAtLogin_);
            if (onAction) onAction(action);
        });
    }
    entries_.at(StatusAction::cancelWork)->setEnabled(false);
    entries_.at(StatusAction::toggleLaunchLogin)->setCheckable(true);
    relabel();
    QObject::connect(menu_.get(), &QMenu::aboutToShow, menu_.get(), [this] { relabel(); });
    tray_->setContextMenu(menu_.get());
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated, menu_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason != QSystemTrayIcon::Trigger) return;
                         if (onActivate) onActivate();
                     });
    // Drawn when shown or given an image (drawing reads the tray's colours from the X server).
    image_ = DesignTokens::statusBarImage(hasSymbol(symbol_), false);
}

QtStatusItem::~QtStatusItem() {
    tray_->hide();
    tray_->setContextMenu(nullptr);
}

bool QtStatusItem::hasSymbol(const std::string& symbolName) const {
    return VeskaIcons::has(symbolName);
}

void QtStatusItem::show() {
    // Without a tray host Qt keeps the icon and embeds it when a host announces itself.
    redraw();
    tray_->show();
}

void QtStatusItem::setImage(const std::string& symbolName, const DesignTokens::StatusBarImage& image) {
    // The status refresh sets the image every few seconds; drawing it asks the X server for the
    // tray's colours and repaints the icon, so an unchanged image is left alone.
    if (symbolName == symbol_ && image == image_) return;
    symbol_ = symbolName;
    image_ = image;
    redraw();
}

void QtStatusItem::setToolTip(const std::string& text) {
    const QString tip = QString::fromStdString(text);
    if (tip == tray_->toolTip()) return;
    tray_->setToolTip(tip);
    // A tooltip showing for the icon changes with it (the status refresh rewrites it while the
    // user may be reading it).
    if (QToolTip::isVisible() && tray_->geometry().contains(QCursor::pos()))
        QToolTip::showText(QCursor::pos(), tip);
}

void QtStatusItem::setCancelEnabled(bool enabled) {
    entries_.at(StatusAction::cancelWork)->setEnabled(enabled);
}

void QtStatusItem::setLaunchAtLoginChecked(bool checked) {
    launchAtLogin_ = checked;
    entries_.at(StatusAction::toggleLaunchLogin)->setChecked(checked);
}

QImage QtStatusItem::image(int side) const {
    return tray_->icon().pixmap(side, side).toImage();
}

void QtStatusItem::relabel() {
    for (const auto& [action, entry] : entries_) entry->setText(QString::fromStdString(label(action)));
}

void QtStatusItem::redraw() {
    tray_->setIcon(TrayIconImage::icon(symbol_, image_, TrayIconImage::panelTextColor()));
}

}  // namespace veska::platform
