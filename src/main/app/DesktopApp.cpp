#include "main/app/DesktopApp.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "core/ai/AIConfig.h"
#include "core/ai/WriteMode.h"
#include "core/app/V2Config.h"
#include "core/ui/AppStrings.h"
#include "platform/linux/AtomicFile.h"
#include "platform/linux/modules/LoadedModules.h"
#include "platform/linux/modules/PlugInModule.h"
#include "platform/linux/windows/PermissionHelp.h"

namespace veska::app {

namespace {

/// The desktop cannot carry Veska; `what()` says why.
class DesktopUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::size_t kMaxV2JsonBytes = std::size_t{1} << 20;

std::optional<std::string> readV2Json(const std::string& configDir) {
    auto read = platform::AtomicFile::read(std::filesystem::path(configDir) / "v2.json", kMaxV2JsonBytes);
    if (read.status != platform::AtomicFile::ReadStatus::ok) return std::nullopt;
    return std::move(read.bytes);
}

std::string ownExecutable() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("veska") : path.string();
}

std::string temporaryDirectory() {
    std::error_code error;
    std::string dir = std::filesystem::temp_directory_path(error).string();
    if (error || dir.empty()) return "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

}  // namespace

struct DesktopApp::X11Parts {
    std::shared_ptr<platform::SyntheticKeyLedger> ledger = std::make_shared<platform::SyntheticKeyLedger>();
    std::unique_ptr<platform::X11KeyEventSource> keys;
    std::unique_ptr<platform::X11Workspace> x11Workspace;
    std::unique_ptr<LockedWorkspace> workspace;
    std::unique_ptr<platform::XTestKeyPoster> x11Poster;
    std::unique_ptr<LockedKeyPoster> poster;
};

std::unique_ptr<DesktopApp::X11Parts> DesktopApp::openX11(rt::Executor& main, const ports::Preferences& prefs,
                                                          const std::string& configDir) {
    auto parts = std::make_unique<X11Parts>();
    platform::X11KeySourceOptions options;
    if (auto fnKey = prefs.string("v2.fnKey"); fnKey && !fnKey->empty()) options.fnKeysym = *fnKey;
    options.ownPid = static_cast<std::int32_t>(::getpid());
    options.ledger = parts->ledger;
    parts->keys = platform::X11KeyEventSource::open(main, options);
    if (!parts->keys) {
        throw DesktopUnavailable(
            "veska: the X display has no XInput 2.2, which Veska needs to watch the keyboard");
    }
    auto workspaceConnection = platform::X11Connection::open();
    auto posterConnection = platform::X11Connection::open();
    if (!workspaceConnection || !posterConnection)
        throw DesktopUnavailable("veska: the X display stopped answering");
    parts->x11Workspace = std::make_unique<platform::X11Workspace>(std::move(workspaceConnection));
    parts->workspace = std::make_unique<LockedWorkspace>(*parts->x11Workspace);
    parts->x11Poster = std::make_unique<platform::XTestKeyPoster>(
        std::move(posterConnection), platform::PasteChordTable::withOverrides(readV2Json(configDir)),
        parts->ledger);
    parts->poster = std::make_unique<LockedKeyPoster>(*parts->x11Poster);
    return parts;
}

std::unique_ptr<DesktopApp> DesktopApp::create(platform::QtStatusItem& statusItem, std::string& error) {
    try {
        return std::unique_ptr<DesktopApp>(new DesktopApp(statusItem));
    } catch (const DesktopUnavailable& unavailable) {
        error = unavailable.what();
        return nullptr;
    }
}

DesktopApp::DesktopApp(platform::QtStatusItem& statusItem)
    : services_(ServiceConfig::load(env_)),
      configDir_(AIConfig::dir(env_)),
      prefs_(configDir_),
      x11_(openX11(main_, prefs_, configDir_)),
      pasteboard_(qtPasteboard_, ThreadHome(main_, std::this_thread::get_id())),
      accessibility_(atspi_, ThreadHome::of(accessibilityThread_)),
      permissions_(main_, capture_,
                   [](ports::Permission permission) { platform::showPermissionHelp(permission); }),
      loginItem_(env_, ownExecutable()),
      fileRecorder_(platform::moduleAacWriters(platform::bundlePlugInsDirectory())),
      web_(configDir_ + "/webengine",
           [](const std::string& storagePath) {
               return platform::loadWebEngineParts(platform::bundlePlugInsDirectory(), storagePath);
           }),
      core_(http_, V2Config::clientBaseURL(env_, prefs_), V2Config::token(env_), prefs_,
            V2Config::LaunchHost{V2Config::Bundle{platform::PosixLocalMachine::mainBundleResources()}, &env_,
                                 &machine_, &processes_}),
      mic_(fileRecorder_, permissions_, temporaryDirectory()),
      claudeSession_(
          ClaudeSessionServices{main_, cookies_, http_, languages_, services_.url(Service::claude)}),
      claude_(ClaudeVoiceServices{main_, claudeQueue_, capture_, webSockets_, services_.url(Service::claude)},
              claudeSession_, services_.names.claudeDisplayName),
      speaker_(GrokSpeaker::Services{main_, http_, web_, prefs_, services_, &player_, &inhibitor_}),
      grokWeb_(web_, services_.names.xaiDomain),
      chatgpt_(main_, cookies_, http_, ChatGPTSessionConfig{.origin = services_.url(Service::chatgpt)}),
      ai_(main_,
          Translator::SessionPorts{
              .http = &http_,
              .env = &env_,
              .endpoints = {services_.url(Service::gemini), services_.url(Service::deepseek)},
              .health = &AIHealth::shared(),
              .engines = nullptr,
              .grok = {&webSockets_, services_.url(Service::xaiAPI), speaker_.consoleOrigin(),
                       [this](std::string model) { return speaker_.textSessionSecret(std::move(model)); }},
          }),
      desktop_{main_,       lookups_,       liveTyperQueue_,  *x11_->keys, *x11_->poster,
               pasteboard_, accessibility_, *x11_->workspace, permissions_},
      selection_(desktop_),
      statusItem_(statusItem),
      dashboardView_(web_, configDir_ + "/window-frames.ini", showCannotOpen),
      chatgptLoginView_(main_, web_, showCannotOpen) {
    AppStrings::setServiceNames(services_.names);
    AppStrings::setLocale(std::nullopt, languages_);
    AppStrings::setTranslateEngineProvider([this] {
        const AIConfig config = AIConfig::load(env_);
        return AppStrings::TranslateEngineConfig{config.translate, config.deepseekModel};
    });
    hudPanel_ = std::make_unique<platform::QtHUDPanel>(main_, [this] { return Translator::current(prefs_); });
    hud_ = std::make_unique<FloatingHUD>(main_, *hudPanel_);
    hudPanel_->attach(*hud_);
    chatgptLogin_ = std::make_unique<ChatGPTLoginWindowController>(main_, chatgpt_, chatgptLoginView_);
    claudeLogin_ = std::make_unique<UnbuiltWebLoginWindow>(*hud_);
    grokLogin_ = std::make_unique<UnbuiltWebLoginWindow>(*hud_);
    menuBar_.onShowPopover = [this] {
        hud_->show(HUDState::info(notInThisVersion("Bảng trạng thái", "The status popover")));
    };
    actions_ = std::make_unique<UnbuiltSelectionActions>(*hud_);
    permissionsWindow_ = std::make_unique<PermissionsSetupWindowController>(
        PermissionsSetupWindowController::Services{main_, permissions_, selection_, mic_}, permissionsView_);
    const AppEnvironment environment{.main = main_,
                                     .prefs = prefs_,
                                     .permissions = permissions_,
                                     .workspace = *x11_->workspace,
                                     .pasteboard = pasteboard_,
                                     .loginItem = loginItem_,
                                     .selection = selection_,
                                     .hud = *hud_,
                                     .client = core_,
                                     .mic = mic_,
                                     .claude = claude_,
                                     .ai = ai_,
                                     .menuBar = menuBar_,
                                     .popover = popover_,
                                     .permissionsWindow = *permissionsWindow_,
                                     .configDashboard = dashboard_,
                                     .card = card_,
                                     .languageMenu = languageMenu_,
                                     .actions = *actions_,
                                     .updater = updater_,
                                     .grok = grokWeb_,
                                     .chatgpt = chatgpt_,
                                     .chatgptLogin = *chatgptLogin_,
                                     .claudeLogin = *claudeLogin_,
                                     .grokLogin = *grokLogin_,
                                     .systemLanguages = languages_,
                                     .version = VESKA_VERSION};
    delegate_ = std::make_unique<AppDelegate>(environment, shell_, desktop_);
}

DesktopApp::~DesktopApp() {
    // The controller's tasks reach every part: it goes first, then the HUD it drives.
    delegate_.reset();
    actions_.reset();
    menuBar_.onShowPopover = nullptr;
    grokLogin_.reset();
    claudeLogin_.reset();
    chatgptLogin_.reset();
    permissionsWindow_.reset();
    hud_.reset();
    hudPanel_.reset();
}

void DesktopApp::launch() {
    // The tray icon comes up at once; the start-up's permission check waits for the microphone's
    // first answer (see LinuxPermissions::settled).
    delegate_->applicationDidFinishLaunching();
}

void DesktopApp::quit() {
    delegate_->quit();
}

}  // namespace veska::app
