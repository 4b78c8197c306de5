// The settings dashboard window: which page it shows, what it tells the page, which links
// leave it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/app/AppCollaborators.h"
#include "core/app/DashboardWebView.h"

namespace veska {

/// Shows the local core's dashboard page in `view`, hands the page the application's state and
/// the permissions through the page's two hook functions, and turns links with the
/// application's own scheme into `onDeepLink` calls. Main executor; the view outlives it.
class ConfigDashboardWindowController final : public DashboardWindow {
public:
    /// The scheme of the application's own links, compared in lower case.
    static constexpr std::string_view kDeepLinkScheme = "veska-voice-local";
    /// Where the page is when the given address does not parse.
    static constexpr std::string_view kDefaultURL = "http://127.0.0.1:8797/";
    static constexpr double kLoadTimeoutSeconds = 60;

    explicit ConfigDashboardWindowController(DashboardWebView& view);
    ConfigDashboardWindowController(const ConfigDashboardWindowController&) = delete;
    ConfigDashboardWindowController& operator=(const ConfigDashboardWindowController&) = delete;
    ~ConfigDashboardWindowController() override;

    void show(const std::string& urlString) override;
    void reload() override;
    void pushPerms(const PermissionsSnapshot& snapshot) override;
    void applyApp() override;
    [[nodiscard]] bool isOpen() const override { return view_.exists(); }

    /// The URL last shown.
    [[nodiscard]] const std::optional<std::string>& lastURL() const { return lastURL_; }

    /// The script handing `appJSON` to the page.
    [[nodiscard]] static std::string setAppScript(std::string_view appJSON);
    /// The script handing the permissions to the page.
    [[nodiscard]] static std::string setPermsScript(const PermissionsSnapshot& snapshot);
    /// Whether `url` is one of the application's own links (they never navigate).
    [[nodiscard]] static bool isDeepLink(std::string_view url);
    /// Whether `text` parses as an absolute URL ("scheme:" followed by a clean rest).
    [[nodiscard]] static bool parsesAsURL(std::string_view text);

private:
    bool decide(const std::string& url);

    DashboardWebView& view_;
    std::optional<std::string> lastURL_;
};

}  // namespace veska
