// The windows, menus and neighbouring actions of the controller, as recorders in memory.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/app/AppCollaborators.h"
#include "core/ui/HUDModel.h"
#include "main/appsim/AppLog.h"

namespace veska::appsim {

class RecordingStatusMenu final : public StatusMenu {
public:
    explicit RecordingStatusMenu(AppLog& log) : log_(log) {}
    void install() override { installed = true; }
    void setIcon(const std::string& symbolName, bool setupBadge) override;
    void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
    void setLaunchAtLoginChecked(bool checked) override { launchAtLoginChecked = checked; }

    bool installed = false;
    std::string symbol = "waveform";
    bool badge = false;
    bool cancelEnabled = false;
    bool launchAtLoginChecked = false;

private:
    AppLog& log_;
};

class RecordingPopover final : public PopoverModel {
public:
    void setOutput(const std::optional<TranslateLang>& lang) override { output = lang; ++outputUpdates; }
    void setWriteMode(const std::string& mode) override { writeMode = mode; }
    void setCanStop(bool value) override { canStop = value; }
    void setLaunchAtLogin(bool on) override { launchAtLogin = on; }

    std::optional<TranslateLang> output;
    int outputUpdates = 0;
    std::string writeMode = "normal";
    bool canStop = false;
    bool launchAtLogin = false;
};

class RecordingSignInStatus final : public SignInStatus {
public:
    explicit RecordingSignInStatus(AppLog& log) : log_(log) {}
    void refreshPermissionsMenu() override { ++calls["refreshPermissionsMenu"]; }
    void startStatusPolling() override { ++calls["startStatusPolling"]; }
    rt::Task<void> refreshMenuStatus() override;
    void refreshClaudeAccount(bool /*force*/) override { ++calls["refreshClaudeAccount"]; }
    void noteClaudeAccount(const ClaudeAccount& account) override;
    void noteGrok(bool signedIn) override;
    void openClaudeLogin(bool forceRelogin) override;
    void openDashboard() override;

    std::map<std::string, int> calls;
    std::optional<ClaudeAccount> lastAccount;
    std::optional<bool> lastGrok;

private:
    AppLog& log_;
};

class FakePermissionsWindow final : public PermissionsWindow {
public:
    explicit FakePermissionsWindow(AppLog& log) : log_(log) {}
    void show(bool force) override;
    int shows = 0;

private:
    AppLog& log_;
};

class FakeDashboard final : public DashboardWindow {
public:
    void pushAppState() override { ++pushes; }
    int pushes = 0;
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

    std::map<std::string, int> calls;
    bool paused = false;
};

class FakeUpdater final : public UpdaterHooks {
public:
    bool canNotify() override { return notify; }
    void registerNotificationCategories() override { ++registrations; }
    void startChecking() override { ++checksStarted; }
    bool updateAvailable() override { return available; }

    bool notify = true;
    bool available = false;
    int registrations = 0;
    int checksStarted = 0;
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
