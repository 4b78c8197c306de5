// The windows, menus and neighbouring actions of the controller, as recorders in memory.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/app/AppCollaborators.h"
#include "core/app/DashboardWebView.h"
#include "core/app/StatusItemView.h"
#include "core/ui/HUDModel.h"
#include "main/appsim/AppLog.h"

namespace veska::appsim {

/// The status item on screen: its icon (logged as "menuIcon" when it changes), tooltip and
/// menu entries.
class RecordingStatusItemView final : public StatusItemView {
public:
    explicit RecordingStatusItemView(AppLog& log) : log_(log) {}
    bool hasSymbol(const std::string& symbolName) const override { return !symbolName.empty(); }
    void show() override { shown = true; }
    void setImage(const std::string& symbolName, const DesignTokens::StatusBarImage& image) override;
    void setToolTip(const std::string& text) override { toolTip = text; }
    void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
    void setLaunchAtLoginChecked(bool checked) override { launchAtLoginChecked = checked; }

    bool shown = false;
    /// The trace starts from the idle icon: only changes from it are logged.
    std::string symbol = "waveform";
    bool badge = false;
    std::string toolTip;
    bool cancelEnabled = false;
    bool launchAtLoginChecked = false;

private:
    AppLog& log_;
};

/// The Grok console session: signed in or not, as the test says.
class FakeGrokWeb final : public GrokWeb {
public:
    rt::Task<bool> hasSession() override;
    bool session = false;
};

class FakePermissionsWindow final : public PermissionsWindow {
public:
    explicit FakePermissionsWindow(AppLog& log) : log_(log) {}
    void show(bool force) override;
    void close() override { open = false; }
    int shows = 0;
    bool open = false;

private:
    AppLog& log_;
};

/// The dashboard's web view: loads and scripts are recorded; the page "loads" at once.
class RecordingDashboardView final : public DashboardWebView {
public:
    explicit RecordingDashboardView(AppLog& log) : log_(log) {}
    bool exists() const override { return windowOpen; }
    void create(const std::string& title) override;
    void load(const std::string& url, double timeoutSeconds) override;
    void bringToFront() override { ++fronts; }
    void evaluate(const std::string& javaScript) override { scripts.push_back(javaScript); }
    /// The user closes the window.
    void closeByUser() { windowOpen = false; }
    /// The page follows a link; true when the navigation went ahead.
    bool click(const std::string& url);

    bool windowOpen = false;
    std::string title;
    std::vector<std::string> loads;
    std::vector<std::string> scripts;
    int fronts = 0;

private:
    AppLog& log_;
};

/// The ChatGPT sign-in window: the test finishes or cancels the sign-in.
class FakeChatGPTLoginWindow final : public ChatGPTLoginWindow {
public:
    explicit FakeChatGPTLoginWindow(AppLog& log) : log_(log) {}
    void show(bool forceRelogin) override;
    void close() override { open = false; }
    /// The user signs in and the session yields `token`.
    void succeed(const std::string& token);
    void cancel();

    bool open = false;
    int shows = 0;

private:
    AppLog& log_;
};

/// A Claude or Grok sign-in window.
class FakeWebLoginWindow final : public WebLoginWindow {
public:
    FakeWebLoginWindow(AppLog& log, std::string name) : log_(log), name_(std::move(name)) {}
    void showLogin(bool forceRelogin) override;
    void succeed();
    void cancel();

    bool open = false;
    int shows = 0;
    std::optional<bool> lastForce;

private:
    AppLog& log_;
    std::string name_;
};

class FakeTranslationCard final : public TranslationCardWindow {
public:
    bool isVisible() const override { return visible; }
    void close() override { visible = false; }
    bool visible = false;
};

class FakeLanguageMenu final : public LanguageMenu {
public:
    void show(const std::optional<TranslateLang>& current, bool includeAsSpoken, bool includeAuto, Pick pick) override;
    /// The user picks from the open menu.
    void choose(std::optional<TranslateLang> lang);

    bool open = false;
    std::optional<TranslateLang> shownCurrent;
    bool shownAsSpoken = false;
    bool shownAuto = false;

private:
    Pick pick_;
};

class FakeSelectionActions final : public SelectionActions {
public:
    void readSelection() override { ++calls["readSelection"]; }
    void translateSelection() override { ++calls["translateSelection"]; }
    void fixSelection() override { ++calls["fixSelection"]; }
    void stopReading() override { ++calls["stopReading"]; }
    void cycleReadingRate() override { ++calls["cycleReadingRate"]; }
    bool togglePause() override {
        paused = !paused;
        return paused;
    }
    void listenOriginal() override { ++calls["listenOriginal"]; }
    void listenTranslation() override { ++calls["listenTranslation"]; }
    void replaceWithTranslation() override { ++calls["replaceWithTranslation"]; }
    void signInForTranslation() override { ++calls["signInForTranslation"]; }
    void showTranslateTargetMenu() override { ++calls["showTranslateTargetMenu"]; }
    void cancelTranslation() override { ++calls["cancelTranslation"]; }
    void translateFromService(const std::string& text) override { serviceTexts.emplace_back("translate", text); }
    void readText(const std::string& text) override { serviceTexts.emplace_back("read", text); }

    std::vector<std::pair<std::string, std::string>> serviceTexts;

    std::map<std::string, int> calls;
    bool paused = false;
};

class FakeUpdater final : public UpdaterHooks {
public:
    bool canNotify() override { return notify; }
    void registerNotificationCategories() override { ++registrations; }
    void startChecking() override { ++checksStarted; }
    bool updateAvailable() override { return available; }
    std::optional<std::string> availableVersion() override {
        return available ? std::optional<std::string>(version) : std::nullopt;
    }
    void install() override { ++installs; }

    bool notify = true;
    bool available = false;
    int registrations = 0;
    int checksStarted = 0;
    std::string version = "2.5.0";
    int installs = 0;
};

class FakeApplicationShell final : public ApplicationShell {
public:
    explicit FakeApplicationShell(AppLog& log) : log_(log) {}
    void setAccessory() override { accessory = true; }
    void provideServices() override { servicesProvided = true; }
    void installNotificationDelegate() override { notificationDelegate = true; }
    void terminate() override;

    bool accessory = false;
    bool servicesProvided = false;
    bool notificationDelegate = false;
    bool terminated = false;

private:
    AppLog& log_;
};

/// The HUD panel in memory: visibility, opacity and click-through, with fades on the clock.
class SimHUDPanel final : public HUDPanel {
public:
    explicit SimHUDPanel(rt::Executor& main) : main_(main) {}
    bool isVisible() const override { return visible; }
    void setAcceptsMouse(bool accepts) override { acceptsMouse = accepts; }
    void layout() override { ++layouts; }
    void setAlpha(double value) override { alpha = value; }
    void orderFront() override { visible = true; }
    void orderOut() override { visible = false; }
    void animateAlpha(double target, double seconds, std::function<void()> done) override;

    bool visible = false;
    double alpha = 1;
    bool acceptsMouse = false;
    int layouts = 0;

private:
    rt::Executor& main_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace veska::appsim
