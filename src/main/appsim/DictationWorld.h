// Veska's controller assembled on a simulated desktop: the real gesture monitor, selection
// service, live typer and HUD logic, with the collaborators as fakes and recorders.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/app/AppDelegate.h"
#include "core/app/ConfigDashboardWindowController.h"
#include "core/app/MenuBarController.h"
#include "core/app/StatusPopoverModel.h"
#include "core/web/ChatGPTSession.h"
#include "core/web/WebCookieJar.h"
#include "core/desktop/SelectionService.h"
#include "core/ui/FloatingHUD.h"
#include "main/appsim/AppLog.h"
#include "main/appsim/AppRecorders.h"
#include "main/appsim/FakeAI.h"
#include "main/appsim/FakeCore.h"
#include "main/appsim/FakeVoice.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPreferences.h"
#include "platform/sim/SimSystemLanguages.h"
#include "runtime/VirtualLoop.h"

namespace veska::appsim {

/// Owns every fake; the desktop and the loop are the caller's and outlive the world. `launch`
/// runs the application's start-up. The HUD's states, its preview text and the menu icon go to
/// `log` as they change.
class DictationWorld {
public:
    static constexpr std::string_view kChatGPTOrigin = "https://chatgpt.test";

    DictationWorld(rt::VirtualLoop& loop, sim::SimDesktop& desktop);
    ~DictationWorld();
    DictationWorld(const DictationWorld&) = delete;
    DictationWorld& operator=(const DictationWorld&) = delete;

    /// The start-up sequence (the start-up task then runs on the loop).
    void launch();

    [[nodiscard]] AppState& app() { return *delegate_->appState(); }
    [[nodiscard]] AppDelegate& delegate() { return *delegate_; }
    [[nodiscard]] const HUDModel& hud() const { return hud_.model(); }
    [[nodiscard]] FloatingHUD& floatingHUD() { return hud_; }
    [[nodiscard]] SelectionService& selection() { return selection_; }

    rt::VirtualLoop& loop;
    sim::SimDesktop& desktop;
    AppLog log;
    sim::SimPreferences prefs;
    sim::SimLoginItem loginItem;
    sim::SimSystemLanguages systemLanguages{{"vi-VN"}};
    FakeMicRecorder mic;
    FakeLocalCore core;
    FakeClaudeWeb claude;
    FakeAIEngines ai;
    FakeGrokWeb grok;
    /// The shared web profile's cookies and the ChatGPT web service (at `kChatGPTOrigin`).
    sim::SimCookieStore cookies;
    sim::SimHttpServer chatgptServer{std::string(kChatGPTOrigin)};
    sim::SimHttpClient http;
    WebCookieJar jar{cookies};
    ChatGPTSession chatgpt;
    RecordingStatusItemView statusItem{log};
    MenuBarController menu;
    StatusPopoverModel popover;
    FakePermissionsWindow permissionsWindow{log};
    RecordingDashboardView dashboardView{log};
    ConfigDashboardWindowController dashboard{dashboardView};
    FakeChatGPTLoginWindow chatgptLogin{log};
    FakeWebLoginWindow claudeLogin{log, "claudeLogin"};
    FakeWebLoginWindow grokLogin{log, "grokLogin"};
    FakeTranslationCard card;
    FakeLanguageMenu languageMenu;
    FakeSelectionActions actions;
    FakeUpdater updater;
    FakeApplicationShell shell{log};
    SimHUDPanel panel;

private:
    void observeHUD();
    /// Logs Grok's sign-in state as the popover shows it ("grokSignIn").
    void observePopover();

    DesktopServices services_;
    SelectionService selection_;
    FloatingHUD hud_;
    std::unique_ptr<AppDelegate> delegate_;
    HUDState shownState_;
    std::string shownPreview_;
    bool shownReadReady_ = false;
};

}  // namespace veska::appsim
