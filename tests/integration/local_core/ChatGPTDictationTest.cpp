// A dictation with the ChatGPT source from key to text: the controller on the simulated desktop,
// the local core started by the start-up on a free port, the PulseAudio recorder writing the
// take from a private daemon's microphone, and the ChatGPT service faked on loopback. The real
// parts need real time: the test waits on what they report, never for a fixed time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/app/AppDelegate.h"
#include "core/app/ConfigDashboardWindowController.h"
#include "core/app/FileMicRecorder.h"
#include "core/app/MenuBarController.h"
#include "core/app/StatusPopoverModel.h"
#include "core/app/UserDefaults.h"
#include "core/ui/AppStrings.h"
#include "core/ui/HUDPresentation.h"
#include "core/web/ChatGPTSession.h"
#include "core/web/WebCookieJar.h"
#include "integration/linux_recorder/DecodedAudio.h"
#include "integration/local_core/LocalCoreRig.h"
#include "main/appsim/AppRecorders.h"
#include "main/appsim/FakeAI.h"
#include "main/appsim/FakeVoice.h"
#include "platform/linux/aac/AacFileWriter.h"
#include "platform/linux/recorder/PulseFileRecorder.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimSystemLanguages.h"
#include "support/FakeService.h"
#include "support/PulseDaemon.h"

namespace veska {
namespace {

/// The file recorder with the running recording in view, so the test can wait until it holds
/// enough sound.
class ObservedRecorder final : public ports::FileRecorder {
public:
    explicit ObservedRecorder(ports::FileRecorder& inner) : inner_(inner) {}

    rt::Task<std::unique_ptr<ports::Recording>> start(ports::RecorderSettings settings) override {
        std::unique_ptr<ports::Recording> recording = co_await inner_.start(std::move(settings));
        co_return std::make_unique<Observed>(std::move(recording), &current);
    }

    /// The recording between its start and the end of its life; nothing otherwise.
    ports::Recording* current = nullptr;

private:
    class Observed final : public ports::Recording {
    public:
        Observed(std::unique_ptr<ports::Recording> inner, ports::Recording** slot) : inner_(std::move(inner)), slot_(slot) {
            *slot_ = this;
        }
        ~Observed() override {
            if (*slot_ == this) *slot_ = nullptr;
        }
        rt::Task<void> stop() override { return inner_->stop(); }
        [[nodiscard]] bool isRecording() const override { return inner_->isRecording(); }
        [[nodiscard]] double averagePowerDb() const override { return inner_->averagePowerDb(); }
        [[nodiscard]] double seconds() const override { return inner_->seconds(); }

    private:
        std::unique_ptr<ports::Recording> inner_;
        ports::Recording** slot_;
    };

    ports::FileRecorder& inner_;
};

/// The application assembled as the `veska` program does for this source, with the windows,
/// menus, voice stream and AI engines recorded in memory.
class DictationApp {
public:
    DictationApp(testing::CoreRig& rig, const std::string& pulseServer, const std::string& chatgptOrigin)
        : desktop(rig.env.loop),
          pulse(platform::linkedAacWriters(), pulseServer),
          observed(pulse),
          mic(observed, desktop.permissions(), takes.path().string()),
          log(rig.env.loop),
          claude(rig.env.loop),
          cookies(rig.env.loop),
          chatgpt(rig.env.loop, jar, rig.http, ChatGPTSessionConfig{chatgptOrigin}),
          menu(statusItem, updater),
          panel(rig.env.loop),
          prefs_(rig.prefs),
          services_{rig.env.loop, rig.env.loop, rig.env.loop, desktop.keyboard(), desktop.keyPoster(),
                    desktop.pasteboard(), desktop.accessibility(), desktop.workspace(), desktop.permissions()},
          selection_(services_),
          hud(rig.env.loop, panel) {
        for (auto permission : {ports::Permission::microphone, ports::Permission::accessibility,
                                ports::Permission::inputMonitoring}) {
            desktop.permissions().setGranted(permission, true);
        }
        notes = desktop.launchApp({.bundleIdentifier = "com.apple.TextEdit", .localizedName = "Notes"}, true);
        field = desktop.addFocusedField(notes, {.role = "AXTextArea", .text = ""});
        rig.prefs.set(UserDefaults::kSttProvider, UserDefaults::kChatGPTWeb);
        rig.prefs.set(UserDefaults::kOpenedOnce, true);
        AppEnvironment env{rig.env.loop, rig.prefs,       desktop.permissions(), desktop.workspace(),
                           desktop.pasteboard(), loginItem, selection_, hud, *rig.service, mic, claude, ai, menu,
                           popover, permissionsWindow, dashboard, card, languageMenu, actions, updater, grok,
                           chatgpt, chatgptLogin, claudeLogin, grokLogin, systemLanguages, "2.4.0"};
        delegate_ = std::make_unique<AppDelegate>(env, shell, services_);
        hud.model().onChange = [this] { noteHUD(); };
    }
    ~DictationApp() {
        hud.model().onChange = nullptr;
        delegate_.reset();
    }

    void launch() { delegate_->applicationDidFinishLaunching(); }
    [[nodiscard]] bool started() const { return delegate_->startupDone(); }
    AppState& app() { return *delegate_->appState(); }
    /// The HUD's states as "state" or "state: message", in order, since the last call.
    std::vector<std::string> takeStates() { return std::exchange(states_, {}); }

    testing::TempDir takes;
    sim::SimDesktop desktop;
    platform::PulseFileRecorder pulse;
    ObservedRecorder observed;
    FileMicRecorder mic;
    appsim::AppLog log;
    sim::SimLoginItem loginItem;
    /// Vietnamese unless the core's preferences say otherwise.
    sim::SimSystemLanguages systemLanguages{{"vi-VN"}};
    appsim::FakeClaudeWeb claude;
    appsim::FakeAIEngines ai;
    appsim::FakeGrokWeb grok;
    /// No ChatGPT web session: the token comes from the test, as the sign-in would hand it over.
    sim::SimCookieStore cookies;
    WebCookieJar jar{cookies};
    ChatGPTSession chatgpt;
    appsim::FakeUpdater updater;
    appsim::RecordingStatusItemView statusItem{log};
    MenuBarController menu;
    StatusPopoverModel popover;
    appsim::FakePermissionsWindow permissionsWindow{log};
    appsim::RecordingDashboardView dashboardView{log};
    ConfigDashboardWindowController dashboard{dashboardView};
    appsim::FakeChatGPTLoginWindow chatgptLogin{log};
    appsim::FakeWebLoginWindow claudeLogin{log, "claudeLogin"};
    appsim::FakeWebLoginWindow grokLogin{log, "grokLogin"};
    appsim::FakeTranslationCard card;
    appsim::FakeLanguageMenu languageMenu;
    appsim::FakeSelectionActions actions;
    appsim::FakeApplicationShell shell{log};
    appsim::SimHUDPanel panel;
    std::int32_t notes = 0;
    std::uint64_t field = 0;

private:
    /// As the scenario log words them: a state that shows text adds its message, else the pill.
    void noteHUD() {
        const HUDModel& model = hud.model();
        if (model.state == shown_) return;
        shown_ = model.state;
        const auto kind = model.state.kind();
        std::string line(name(kind));
        if (kind != HUDState::Kind::idle && kind != HUDState::Kind::listening && kind != HUDState::Kind::speaking) {
            const std::string& message = model.state.message();
            line += ": " + (message.empty() ? HUDPresentation::pillText(model, Translator::current(prefs_)) : message);
        }
        states_.push_back(std::move(line));
    }

    ports::Preferences& prefs_;
    DesktopServices services_;
    SelectionService selection_;

public:
    FloatingHUD hud;

private:
    std::unique_ptr<AppDelegate> delegate_;
    HUDState shown_;
    std::vector<std::string> states_;
};

/// The token of this test's ChatGPT account.
constexpr char kToken[] = "eyJhbGciOiJub25lIn0.eyJlbWFpbCI6ImUyZUB2ZXNrYS50ZXN0IiwiZXhwIjo0MTAyNDQ0ODAwfQ.c2ln";

/// Records a take of at least `seconds` of the tone: fn tapped, the recorder's own clock
/// watched, fn tapped again.
void recordTake(testing::CoreRig& rig, DictationApp& app, double seconds) {
    app.app().toggleSTT();
    ASSERT_TRUE(rig.env.runUntil([&] { return app.observed.current != nullptr; }, 10)) << "the recording started";
    ASSERT_TRUE(rig.env.runUntil([&] { return app.observed.current->seconds() >= seconds; }, 10 + seconds))
        << "the microphone delivered sound";
    EXPECT_GT(app.observed.current->averagePowerDb(), -30) << "the recorder hears the tone";
    app.app().toggleSTT();
}

bool emptyDirectory(const std::filesystem::path& dir) { return std::filesystem::is_empty(dir); }

TEST(ChatGPTDictation, TheSpokenTakeReachesTheFocusedFieldThroughTheStartedCore) {
    testing::PulseDaemon daemon({.mic = testing::PipeMic{}, .exitIdleSeconds = -1});
    const std::string& pulseServer = daemon.requiredServer();
    daemon.setAmplitude(0.5);
    testing::FakeService chatgpt("chatgpt");
    chatgpt.post("/__fake/config", nlohmann::json{{"token", kToken}, {"text", "xin chào ({bytes} bytes)"}}.dump());
    platform::PosixLocalMachine probe;
    // The remembered address answers nothing: the start-up starts the checkout's core.
    testing::CoreRig rig("http://127.0.0.1:" + std::to_string(testing::unusedPort(probe)));
    ::setenv("VESKA_CHATGPT_URL", chatgpt.baseUrl().c_str(), 1);
    // The core's stored preferences, which the status refresh applies: the interface in English,
    // the ChatGPT speech source.
    rig.home.write(".config/veska-voice/local-core.json",
                   R"({"prefs": {"locale": "en", "stt": {"provider": "chatgpt_web"}}})");
    DictationApp app(rig, pulseServer, chatgpt.baseUrl());

    app.launch();
    ASSERT_TRUE(rig.env.runUntil([&] { return app.started(); }, 20)) << "start-up ended";
    ASSERT_EQ(rig.service->coreSource(), "dev");
    ASSERT_NE(rig.service->coreProcess(), nullptr);
    rig.reaper.add(rig.service->coreProcess()->pid());
    EXPECT_EQ(AppStrings::locale(), AppStrings::Locale::en) << "the core's preferences were read";
    // What the ChatGPT sign-in hands the core.
    contract::runTask(rig.env, rig.service->client().saveSecrets({{"CHATGPT_ACCESS_TOKEN", kToken}}));
    app.takeStates();

    recordTake(rig, app, 1.5);
    ASSERT_TRUE(rig.env.runUntil([&] { return app.hud.model().state.kind() == HUDState::Kind::idle; }, 30))
        << "the take was finished and the HUD went back to idle";
    const nlohmann::json seen = nlohmann::json::parse(chatgpt.get("/__fake/requests").body)["requests"];
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0]["problems"], nlohmann::json::array());
    EXPECT_EQ(seen[0]["filename"], "audio.m4a");
    const int bytes = seen[0]["audioBytes"];
    EXPECT_EQ(app.desktop.text(app.field), "xin chào (" + std::to_string(bytes) + " bytes)");
    EXPECT_EQ(app.takeStates(), (std::vector<std::string>{"listening", "transcribing: Transcribing…",
                                                          "done: Inserted into Notes", "idle"}));
    EXPECT_TRUE(emptyDirectory(app.takes.path())) << "the take's file is deleted";

    // The recording as the service got it: AAC in MPEG-4, 16 kHz mono, the length of the take.
    const testing::FakeReply upload = chatgpt.get("/__fake/uploads/0");
    ASSERT_EQ(upload.status, 200);
    ASSERT_EQ(upload.body.size(), static_cast<std::size_t>(bytes));
    rig.home.write("upload.m4a", upload.body);
    const testing::Decoded decoded = testing::decode((rig.home.path() / "upload.m4a").string());
    EXPECT_NE(decoded.container.find("mp4"), std::string::npos) << decoded.container;
    EXPECT_EQ(decoded.codec, AV_CODEC_ID_AAC);
    EXPECT_EQ(decoded.sampleRate, 16000);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_GE(decoded.seconds, 1.4);
    ASSERT_GE(decoded.windowDb.size(), 10U);
    EXPECT_NEAR(decoded.windowDb[decoded.windowDb.size() / 2], -9, 3) << "the tone is in the file";

    // A take cancelled while it records: stopped, nothing sent, its file gone at once.
    app.app().toggleSTT();
    ASSERT_TRUE(rig.env.runUntil([&] { return app.observed.current != nullptr; }, 10));
    ASSERT_TRUE(rig.env.runUntil([&] { return app.observed.current->seconds() >= 0.5; }, 10));
    app.app().cancelAll();
    EXPECT_TRUE(emptyDirectory(app.takes.path())) << "the cancelled take's file is deleted";
    ASSERT_TRUE(rig.env.runUntil([&] { return app.hud.model().state.kind() == HUDState::Kind::idle; }, 10));
    EXPECT_EQ(app.takeStates(), (std::vector<std::string>{"listening", "stopped: Stopped", "idle"}));

    // The service refusing the token: the core's words on the HUD, nothing typed, no file left.
    chatgpt.post("/__fake/script", R"({"transcribe": [{"status": 401}]})");
    recordTake(rig, app, 0.5);
    ASSERT_TRUE(rig.env.runUntil([&] { return !app.app().busy; }, 30));
    EXPECT_EQ(app.takeStates(),
              (std::vector<std::string>{
                  "listening", "transcribing: Transcribing…",
                  "error: HTTP 401: ChatGPT refused the access token (HTTP 401) — sign in to ChatGPT again"}));
    EXPECT_EQ(app.desktop.text(app.field), "xin chào (" + std::to_string(bytes) + " bytes)");
    EXPECT_TRUE(emptyDirectory(app.takes.path())) << "no take, finished or cancelled, left a file behind";
    EXPECT_EQ(nlohmann::json::parse(chatgpt.get("/__fake/requests").body)["requests"].size(), 2U)
        << "the cancelled take was never sent";
}

TEST(ChatGPTDictation, WithoutACoreTheTakeEndsInAnErrorAndLeavesNoFile) {
    testing::PulseDaemon daemon({.mic = testing::PipeMic{}, .exitIdleSeconds = -1});
    const std::string& pulseServer = daemon.requiredServer();
    daemon.setAmplitude(0.5);
    platform::PosixLocalMachine probe;
    // No core to start: an empty bundle, no checkout at home nor in the current directory.
    testing::CoreRig rig("http://127.0.0.1:" + std::to_string(testing::unusedPort(probe)), "", false);
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(rig.home.path());
    DictationApp app(rig, pulseServer, "http://127.0.0.1:9");
    // Without a core the start-up reads no preferences and leaves the interface language as it
    // was: English here.
    AppStrings::setLocale(nlohmann::json{{"locale", "en"}}, app.systemLanguages);
    app.launch();
    const bool started = rig.env.runUntil([&] { return app.started(); }, 20);
    std::filesystem::current_path(here);
    ASSERT_TRUE(started);
    EXPECT_EQ(rig.service->coreSource(), "none");
    app.takeStates();

    recordTake(rig, app, 0.5);
    ASSERT_TRUE(rig.env.runUntil([&] { return !app.app().busy; }, 30));
    // The refused connection is the transport's own error, shown as it is.
    EXPECT_EQ(app.takeStates(),
              (std::vector<std::string>{"listening", "transcribing: Transcribing…", "error: network failure"}));
    EXPECT_EQ(app.desktop.text(app.field), "");
    EXPECT_TRUE(emptyDirectory(app.takes.path())) << "the take's file is deleted";
}

}  // namespace
}  // namespace veska
