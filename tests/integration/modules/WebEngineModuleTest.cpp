// The web engine module built into the app's bundle, loaded and driven as the app does: its
// cookie store keeps the store's contract, its views build their windows and call back, and it
// runs on the program's executors (it binds to the program's runtime, not a copy of its own).
#include <gtest/gtest.h>

#include <memory>

#include "contract/WebCookieStoreContract.h"
#include "integration/modules/ModulesTestApp.h"
#include "platform/linux/modules/LoadedModules.h"
#include "runtime/Spawn.h"
#include "support/TempDir.h"

// The web engine (Chromium, not built with the sanitizers) keeps process-wide state until exit
// and frees some of its objects with a size of its own; neither is a fault of ours.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }  // NOLINT
extern "C" const char* __asan_default_options() {  // NOLINT
    return "detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0";
}

namespace veska::platform {
namespace {

using testing::pump;
using testing::qtMain;

std::unique_ptr<WebEngineParts> loadParts(const std::filesystem::path& profile) {
    qtMain();
    return loadWebEngineParts(testing::builtPlugIns(), profile.string());
}

/// Qt's event loop as a contract env: the program's main executor, pumped on the test's thread.
class QtEnv : public contract::ContractEnv {
public:
    rt::Executor& executor() override { return qtMain(); }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override { return pump(done, maxSeconds); }
    void advance(double seconds) override {
        pump([] { return false; }, seconds);
    }
};

/// A fresh profile started by the module.
class ModuleCookieEnv final : public contract::WebCookieStoreContractEnv {
public:
    ModuleCookieEnv() : parts_(loadParts(dir_.path() / "profile")) { advance(0.3); }
    ~ModuleCookieEnv() override {
        parts_.reset();
        advance(0.2);
    }
    ModuleCookieEnv(const ModuleCookieEnv&) = delete;
    ModuleCookieEnv& operator=(const ModuleCookieEnv&) = delete;

    rt::Executor& executor() override { return qt_.executor(); }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override {
        return qt_.runUntil(done, maxSeconds);
    }
    void advance(double seconds) override { qt_.advance(seconds); }
    ports::WebCookieStore& store() override { return parts_->cookies(); }

private:
    QtEnv qt_;
    testing::TempDir dir_;
    std::unique_ptr<WebEngineParts> parts_;
};

struct ModuleCookieFactory {
    static std::unique_ptr<contract::WebCookieStoreContractEnv> make() { return std::make_unique<ModuleCookieEnv>(); }
};

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(WebEngineModule, WebCookieStoreContract, platform::ModuleCookieFactory);
}  // namespace veska::contract

namespace veska::platform {
namespace {

using contract::cookies::make;

TEST(WebEngineModule, CookiesSetThroughTheModuleAreThereAfterTheProfileStartsAgain) {
    QtEnv env;
    testing::TempDir dir;
    auto parts = loadParts(dir.path() / "profile");
    env.advance(0.3);
    auto cookie = make("sessionKey", "k1", ".claude.example");
    cookie.expires = qtMain().wallNow() + 3600;
    EXPECT_TRUE(contract::runTask(env, parts->cookies().set(cookie)));
    env.advance(0.5);  // the engine stores it on its own thread
    parts.reset();     // and saves it with the profile
    env.advance(0.2);
    // Loading the module again finds it loaded already; the new profile reads what was saved.
    parts = loadParts(dir.path() / "profile");
    env.advance(0.3);
    const auto all = contract::runTask(env, parts->cookies().all());
    EXPECT_EQ(contract::cookies::names(all), (std::vector<std::string>{"sessionKey=k1@.claude.example/"}));
    parts.reset();
    env.advance(0.2);
}

TEST(WebEngineModule, ViewsFromTheModuleOpenTheirWindowsAndCallBack) {
    testing::TempDir dir;
    auto parts = loadParts(dir.path() / "profile");

    auto dashboard = parts->dashboardView((dir.path() / "frames.ini").string());
    std::vector<std::string> asked;
    int finished = 0;
    dashboard->decideNavigation = [&asked](const std::string& url) {
        asked.push_back(url);
        return true;
    };
    dashboard->onNavigationFinished = [&finished] { ++finished; };
    EXPECT_FALSE(dashboard->exists());
    dashboard->create("Veska · Settings");
    ASSERT_TRUE(dashboard->exists());
    dashboard->load("data:text/html,<p>settings</p>", 30);
    EXPECT_TRUE(pump([&] { return finished > 0; }, 30)) << "the page never finished loading";
    ASSERT_FALSE(asked.empty());
    EXPECT_TRUE(asked.front().starts_with("data:text/html")) << asked.front();

    auto login = parts->chatgptLoginView();
    login->create(ChatGPTLoginContent{"Veska · ChatGPT", "note", "Cancel", "Mozilla/5.0 test"});
    ASSERT_TRUE(login->exists());
    login->setHelp(std::string("help"));
    login->setProgressRunning(true);
    login->dismiss();
    EXPECT_FALSE(login->exists());

    dashboard.reset();
    login.reset();
    pump([] { return false; }, 0.2);  // the pages go first
    parts.reset();
    pump([] { return false; }, 0.2);
}

}  // namespace
}  // namespace veska::platform
