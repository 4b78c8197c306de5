// The status item on Linux: a tray icon with a menu, through Qt's QSystemTrayIcon.
#pragma once

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include <map>
#include <memory>
#include <string>

#include "core/app/StatusItemView.h"

namespace veska::platform {

/// The tray icon: the symbol tinted like the panel's text (with the setup badge's orange dot
/// when asked), the tooltip, a left click that activates the item, and a context menu with
/// one entry per `StatusAction` (labels in the interface language of the moment the menu
/// opens). The panel's text colour is read when the image changes and when the icon is shown.
/// Without a tray host the icon waits (Qt watches the tray selection): it appears when
/// a host starts, and again in a host that restarts.
/// Made on the GUI thread after the QApplication, destroyed before it.
class QtStatusItem final : public StatusItemView {
public:
    QtStatusItem();
    ~QtStatusItem() override;
    QtStatusItem(const QtStatusItem&) = delete;
    QtStatusItem& operator=(const QtStatusItem&) = delete;

    [[nodiscard]] bool hasSymbol(const std::string& symbolName) const override;
    void show() override;
    void setImage(const std::string& symbolName, const DesignTokens::StatusBarImage& image) override;
    void setToolTip(const std::string& text) override;
    void setCancelEnabled(bool enabled) override;
    void setLaunchAtLoginChecked(bool checked) override;

    /// For tests: the Qt objects and the menu entry of an action.
    [[nodiscard]] QSystemTrayIcon& trayIcon() { return *tray_; }
    [[nodiscard]] QMenu& menu() { return *menu_; }
    [[nodiscard]] QAction& entry(StatusAction action) { return *entries_.at(action); }
    /// The icon as last drawn, at `side` pixels.
    [[nodiscard]] QImage image(int side) const;

private:
    void relabel();
    void redraw();

    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::map<StatusAction, QAction*> entries_;
    std::string symbol_ = "waveform";
    DesignTokens::StatusBarImage image_;
    bool launchAtLogin_ = false;
};

}  // namespace veska::platform
