// Signs a test profile in: writes cookies into Veska's web profile through the profile itself
// (Qt WebEngine saves them in its Cookies database), the way a sign-in page would leave them.
//
//   veska-e2e-seed-cookies PROFILE_DIR DOMAIN NAME=VALUE...
//
// Exits 0 once every cookie can be read back from the saved database, 1 otherwise.
#include <QCoreApplication>
#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/qt/QtMainExecutor.h"
#include "platform/linux/webcookies/CookieDatabase.h"
#include "platform/linux/webengine/QtWebProfile.h"
#include "runtime/Spawn.h"

// The web engine (Chromium, not built with the sanitizers) keeps process-wide state until exit
// and frees some of its objects with a size of its own; neither is a fault of this tool.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }  // NOLINT
extern "C" const char* __asan_default_options() {                              // NOLINT
    return "detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0";
}

namespace {

constexpr double kValidSeconds = 7 * 24 * 3600;

void pump(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: veska-e2e-seed-cookies PROFILE_DIR DOMAIN NAME=VALUE...\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string domain = argv[2];
    std::vector<veska::ports::WebCookie> cookies;
    for (int i = 3; i < argc; ++i) {
        const std::string pair = argv[i];
        const auto at = pair.find('=');
        if (at == std::string::npos || at == 0) return 2;
        cookies.push_back({.name = pair.substr(0, at), .value = pair.substr(at + 1), .domain = domain,
                           .expires = nowSeconds() + kValidSeconds});
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    {
        veska::platform::QtMainExecutor main;
        auto profile = std::make_unique<veska::platform::QtWebProfile>(dir);
        pump(0.3);
        for (const auto& cookie : cookies) {
            auto handle = veska::rt::spawn(main, profile->set(cookie));
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!handle.done() && std::chrono::steady_clock::now() < until) pump(0.01);
            if (!handle.done() || !handle.take()) {
                std::fprintf(stderr, "the profile refused the cookie %s\n", cookie.name.c_str());
                return 1;
            }
        }
        pump(0.3);
        profile.reset();  // writes the cookies to disk
        pump(0.2);
    }
    // Chromium writes its database in the background: wait until every cookie is on disk.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < until) {
        const auto saved = veska::platform::readSavedCookies(dir + "/Cookies", nowSeconds());
        std::size_t found = 0;
        for (const auto& cookie : cookies) {
            for (const auto& held : saved) found += held.name == cookie.name && held.value == cookie.value ? 1 : 0;
        }
        // Saved: leave without tearing the engine down (its exit work is not this tool's, and
        // under load it has failed after the work was done).
        if (found == cookies.size()) std::_Exit(0);
        pump(0.1);
    }
    std::fprintf(stderr, "the cookies were not saved in %s/Cookies\n", dir.c_str());
    return 1;
}
