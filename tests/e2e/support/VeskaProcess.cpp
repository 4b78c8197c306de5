// Veska started on the test desktop with a private home.
#include "e2e/support/VeskaProcess.h"

#include <X11/extensions/XTest.h>

#include <fstream>
#include <iterator>

#include "support/FakeService.h"

namespace veska::e2e {

namespace {

/// Every service besides the Claude one, by its variable.
constexpr const char* kOtherServices[] = {
    "VESKA_XAI_CONSOLE_URL", "VESKA_XAI_ACCOUNTS_URL", "VESKA_XAI_API_URL", "VESKA_CHATGPT_URL",
    "VESKA_GEMINI_URL",      "VESKA_DEEPSEEK_URL",     "VESKA_UPDATE_URL",
};

int grabError = 0;
int recordError(Display*, XErrorEvent* event) {
    grabError = event->error_code;
    return 0;
}

}  // namespace

VeskaProcess::VeskaProcess(E2eDesktop& desktop, VeskaOptions options) : VeskaProcess(desktop, std::move(options), true) {}

VeskaProcess::VeskaProcess(E2eDesktop& desktop, VeskaOptions options, bool launchNow)
    : desktop_(desktop), options_(std::move(options)) {
    prepare();
    if (launchNow && error_.empty()) launch();
}

VeskaProcess::~VeskaProcess() { process_.stop(5); }

void VeskaProcess::prepare() {
    if (!std::filesystem::exists(options_.program)) {
        error_ = "the veska program is not built: " + options_.program.string();
        return;
    }
    const std::string voice = desktop_.voice() != nullptr ? desktop_.voice()->baseUrl() : kNowhere;
    nlohmann::json v2 = options_.v2;
    v2["services"]["claude_url"] = voice;
    home_.write(".config/veska-voice/v2.json", v2.dump(2));
    home_.write(".config/veska-voice/preferences.json", options_.preferences.dump(2));

    env_ = desktop_.environment();
    env_["HOME"] = home_.path().string();
    env_["LANG"] = options_.lang;
    env_["QT_QPA_PLATFORM"] = "xcb";
    env_["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
    env_["VESKA_CLAUDE_URL"] = voice;
    for (const char* variable : kOtherServices) env_[variable] = kNowhere;
    // The sanitizers' leak check is for the unit tests; Qt and its plug-ins keep caches to exit.
    env_["ASAN_OPTIONS"] = "detect_leaks=0";
    env_["UBSAN_OPTIONS"] = "print_stacktrace=1";
    for (const auto& [name, value] : options_.extra) env_[name] = value;

    if (options_.signedIn && desktop_.voice() != nullptr) {
        Environment seedEnv = desktop_.environment();
        seedEnv["HOME"] = home_.path().string();
        const std::filesystem::path log = options_.outputDir / "seed-cookies.stderr";
        std::filesystem::create_directories(options_.outputDir);
        bool seeded = false;
        int status = 0;
        for (int attempt = 0; attempt < 2 && !seeded; ++attempt) {
            Launched seed({.argv = {VESKA_E2E_SEED_COOKIES, (configDir() / kWebProfileFolder).string(), "127.0.0.1",
                                    "sessionKey=test-session", "lastActiveOrg=org-e2e"},
                           .environment = seedEnv,
                           .stderrFile = log});
            seeded = E2eDesktop::waitFor([&] { return !seed.running(); }, 60, 20) && seed.exitStatus() == 0;
            status = seed.exitStatus();
        }
        if (!seeded) {
            error_ = "the web profile could not be signed in (wait status " + std::to_string(status) + ", see " +
                     log.string() + ")";
        }
    }
}

void VeskaProcess::launch() {
    std::filesystem::create_directories(options_.outputDir);
    process_ = Launched({.argv = {options_.program.string()},
                         .environment = env_,
                         .stdoutFile = options_.outputDir / "veska.stdout",
                         .stderrFile = options_.outputDir / "veska.stderr"});
    if (process_.pid() <= 0) error_ = "veska could not be started";
}

std::string VeskaProcess::stderrText() const {
    std::ifstream in(options_.outputDir / "veska.stderr", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool keyGrabbedByOther(Display* x, const char* keysym) {
    const KeyCode code = XKeysymToKeycode(x, XStringToKeysym(keysym));
    if (code == 0) return false;
    XSync(x, False);
    grabError = 0;
    auto* old = XSetErrorHandler(recordError);
    XGrabKey(x, code, 0, DefaultRootWindow(x), False, GrabModeAsync, GrabModeAsync);
    XSync(x, False);
    const bool taken = grabError == BadAccess;
    if (!taken) XUngrabKey(x, code, 0, DefaultRootWindow(x));
    XSync(x, False);
    XSetErrorHandler(old);
    return taken;
}

void pressKey(Display* x, const char* keysym, bool down) {
    const KeyCode code = XKeysymToKeycode(x, XStringToKeysym(keysym));
    XTestFakeKeyEvent(x, code, down ? True : False, CurrentTime);
    XSync(x, False);
}

}  // namespace veska::e2e
