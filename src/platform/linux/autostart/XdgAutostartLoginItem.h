// Launch at login on a freedesktop.org desktop: an autostart entry for Veska.
#pragma once

#include <filesystem>
#include <string>

#include "ports/Environment.h"
#include "ports/LoginItem.h"

namespace veska::platform {

/// The login item is the file "veska.desktop" in the user's autostart directory
/// ("$XDG_CONFIG_HOME/autostart", else "$HOME/.config/autostart"), which every XDG session
/// starts at login. An entry that is hidden or switched off by the desktop's own settings
/// ("Hidden=true", "X-GNOME-Autostart-enabled=false") counts as not registered, and registering
/// replaces it. Each call reads the disk again; main executor only.
class XdgAutostartLoginItem final : public ports::LoginItem {
public:
    static constexpr const char* kFileName = "veska.desktop";
    /// Larger entries are not ours.
    static constexpr std::size_t kMaxEntryBytes = std::size_t{64} * 1024;

    /// `executable`: the program the entry starts (an absolute path).
    XdgAutostartLoginItem(const ports::Environment& env, std::string executable);

    [[nodiscard]] ports::LoginItemStatus status() const override;
    void registerItem() override;
    void unregisterItem() override;

    /// Where the entry lives now.
    [[nodiscard]] std::filesystem::path entryPath() const;
    /// The entry's text for `executable`.
    [[nodiscard]] static std::string entryText(const std::string& executable);
    /// `path` quoted for an Exec line: in double quotes, with `"`, `` ` ``, `$` and `\` escaped,
    /// and "%" doubled.
    [[nodiscard]] static std::string quoteExec(const std::string& path);
    /// Whether an entry's text starts the program at login (it is not hidden or switched off).
    [[nodiscard]] static bool entryEnabled(const std::string& text);

private:
    const ports::Environment& env_;
    std::string executable_;
};

}  // namespace veska::platform
