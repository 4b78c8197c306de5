// Tells when a system tray host (an XEmbed tray manager) appears on the display.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>

namespace veska::platform {

/// Watches the root window for the "MANAGER" announcement a tray host broadcasts when it
/// takes the `_NET_SYSTEM_TRAY_S0` selection, and calls `onHost` on the GUI thread. No timer:
/// an app without a tray wakes only when one appears. Lives on the GUI thread.
class TrayHostWatcher final : public QAbstractNativeEventFilter {
public:
    explicit TrayHostWatcher(std::function<void()> onHost);
    ~TrayHostWatcher() override;
    TrayHostWatcher(const TrayHostWatcher&) = delete;
    TrayHostWatcher& operator=(const TrayHostWatcher&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> onHost_;
    /// Calls queued for `onHost` die with the watcher.
    QObject anchor_;
    std::uint32_t manager_ = 0;
    std::uint32_t traySelection_ = 0;
};

}  // namespace veska::platform
