// The shared web profile's cookie store on the real Qt WebEngine (offscreen): the store's
// contract, cookies set by pages, and persistence across a restart of the profile.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <chrono>
#include <memory>
#include <thread>

#include "contract/WebCookieStoreContract.h"
#include "platform/linux/qt/QtMainExecutor.h"
#include "platform/linux/webengine/QtWebProfile.h"
#include "support/LoopbackHttpServer.h"
#include "support/OffscreenQt.h"
#include "support/TempDir.h"

// The web engine (Chromium, not built with the sanitizers) keeps process-wide state until exit
// and frees some of its objects with a size of its own; neither is a fault of ours.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }  // NOLINT
extern "C" const char* __asan_default_options() {  // NOLINT
    return "detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0";
}

namespace veska::platform {
namespace {

/// The one GUI application of the process, made on first use (the web engine needs it).
QtMainExecutor& qtMain() {
    static QGuiApplication* app = testing::makeOffscreenApp<QGuiApplication>(true);
    static QtMainExecutor* executor = (static_cast<void>(app), new QtMainExecutor());
    return *executor;
}

class QtCookieEnv final : public contract::WebCookieStoreContractEnv {
public:
    QtCookieEnv() : dir_(owned_.path() / "profile") { reopen(); }

    rt::Executor& executor() override { return qtMain(); }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override { return testing::pump(done, maxSeconds); }
    void advance(double seconds) override {
        testing::pump([] { return false; }, seconds);
    }
    ports::WebCookieStore& store() override { return *profile_; }
    QtWebProfile& profile() { return *profile_; }
    /// Ends the profile (which saves its cookies) and opens it again from the same directory.
    void reopen() {
        qtMain();
        profile_.reset();
        advance(0.2);
        profile_ = std::make_unique<QtWebProfile>(dir_.string());
        advance(0.3);
    }

private:
    testing::TempDir owned_;
    std::filesystem::path dir_;
    std::unique_ptr<QtWebProfile> profile_;
};

struct QtCookieFactory {
    static std::unique_ptr<contract::WebCookieStoreContractEnv> make() { return std::make_unique<QtCookieEnv>(); }
};

}  // namespace
}  // namespace veska::platform

namespace veska::contract {
INSTANTIATE_TYPED_TEST_SUITE_P(QtWebEngine, WebCookieStoreContract, platform::QtCookieFactory);
}  // namespace veska::contract

namespace veska::platform {
namespace {

using contract::cookies::make;
using contract::runTask;

std::vector<std::string> described(const std::vector<ports::WebCookie>& list) {
    std::vector<std::string> out;
    for (const auto& c : list) out.push_back(c.name + "=" + c.value + "@" + c.domain + c.path);
    return out;
}

TEST(QtWebProfile, PersistentCookiesSurviveARestartOfTheProfile) {
    QtCookieEnv env;
    const double now = env.executor().wallNow();
    auto key = make("sessionKey", "sk-1", ".claude.test");
    key.expires = std::floor(now) + 3600;
    key.secure = true;
    key.httpOnly = true;
    auto org = make("lastActiveOrg", "org-9", "claude.test");
    org.expires = std::floor(now) + 7200;
    auto gone = make("gone", "x", ".claude.test");
    gone.expires = std::floor(now) + 3600;
    runTask(env, contract::cookies::setAll(&env.store(), {key, make("session", "only", ".claude.test"), org, gone}));
    runTask(env, contract::cookies::remove(&env.store(), gone));
    env.advance(0.5);
    env.reopen();
    auto restored = runTask(env, env.store().all());
    EXPECT_EQ(described(restored),
              (std::vector<std::string>{"sessionKey=sk-1@.claude.test/", "lastActiveOrg=org-9@claude.test/"}));
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0], key) << "every field comes back";
    EXPECT_EQ(restored[1].expires, org.expires);
    // What a page of the restarted profile reports does not double what was restored.
    env.advance(1.0);
    EXPECT_EQ(runTask(env, env.store().all()).size(), 2u);
    // A deletion after the restart sticks too.
    runTask(env, contract::cookies::remove(&env.store(), key));
    env.advance(0.5);  // the engine applies a deletion on its own thread before it is saved
    env.reopen();
    EXPECT_EQ(described(runTask(env, env.store().all())), (std::vector<std::string>{"lastActiveOrg=org-9@claude.test/"}));
}

TEST(QtWebProfile, CookiesAPageSetsAreListedAndNoticed) {
    testing::LoopbackHttpServer site;
    site.route({ports::HttpMethod::get, "/login", std::nullopt,
                {sim::HttpBehaviour::reply(200, "<html><body>signed in</body></html>",
                                           {{"Content-Type", "text/html"},
                                            {"Set-Cookie", "sessionKey=from-page; Path=/; Max-Age=3600"}})}});
    QtCookieEnv env;
    std::vector<std::string> seen;
    auto subscription = runTask(env, contract::cookies::listen(&env.store(), &seen, &env.executor()));
    QWebEnginePage page(env.profile().profile());
    page.load(QUrl(QString::fromStdString(site.baseUrl() + "/login")));
    ASSERT_TRUE(env.runUntil([&] { return !seen.empty(); }, 20)) << "no cookie from the page";
    EXPECT_EQ(seen, std::vector<std::string>{"+sessionKey=from-page"});
    auto all = runTask(env, env.store().all());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].domain, "127.0.0.1");
    EXPECT_TRUE(all[0].expires.has_value());
    // Deleting it needs its domain and path, which the listing gives.
    runTask(env, contract::cookies::remove(&env.store(), all[0]));
    env.advance(0.5);
    EXPECT_TRUE(runTask(env, env.store().all()).empty());
    EXPECT_EQ(seen, (std::vector<std::string>{"+sessionKey=from-page", "-sessionKey=from-page"}));
}

}  // namespace
}  // namespace veska::platform
