// The app's stand-ins for the web engine's parts: they load the module on the first real need,
// hand every setter and callback on to the real views, and when the module cannot be used the
// windows say they cannot open and the cookies still come from the saved database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QMessageBox>

#include "core/app/ConfigDashboardWindowController.h"
#include "integration/modules/ModulesTestApp.h"
#include "main/app/LazyWebProfile.h"
#include "main/app/ModuleWebViews.h"
#include "platform/linux/modules/PlugInModule.h"
#include "platform/sim/SimCookieStore.h"
#include "runtime/VirtualLoop.h"
#include "support/TempDir.h"

namespace veska::app {
namespace {

/// What a fake view was asked to do, in order.
using Calls = std::vector<std::string>;

class FakeDashboardView final : public DashboardWebView {
public:
    explicit FakeDashboardView(Calls& calls) : calls_(calls) {}
    [[nodiscard]] bool exists() const override { return created_; }
    void create(const std::string& title) override {
        created_ = true;
        calls_.push_back("create " + title);
    }
    void load(const std::string& url, double /*timeoutSeconds*/) override { calls_.push_back("load " + url); }
    void bringToFront() override { calls_.push_back("front"); }
    void evaluate(const std::string& javaScript) override { calls_.push_back("evaluate " + javaScript); }

private:
    Calls& calls_;
    bool created_ = false;
};

class FakeLoginView final : public ChatGPTLoginView {
public:
    explicit FakeLoginView(Calls& calls) : calls_(calls) {}
    [[nodiscard]] bool exists() const override { return created_; }
    void create(const ChatGPTLoginContent& content) override {
        created_ = true;
        calls_.push_back("create " + content.title);
    }
    void setHelp(const std::optional<std::string>& text) override { calls_.push_back("help " + text.value_or("-")); }
    void setProgressRunning(bool running) override { calls_.push_back(running ? "progress on" : "progress off"); }
    void bringToFront() override { calls_.push_back("front"); }
    void load(const std::string& url, double /*timeoutSeconds*/) override { calls_.push_back("load " + url); }
    void dismiss() override {
        created_ = false;
        calls_.push_back("dismiss");
    }

private:
    Calls& calls_;
    bool created_ = false;
};

/// Parts whose views record what they are asked and expose the views made.
class FakeParts final : public platform::WebEngineParts {
public:
    FakeParts(rt::Executor& clock, Calls& calls) : cookies_(clock), calls_(calls) {}
    ports::WebCookieStore& cookies() override { return cookies_; }
    std::unique_ptr<DashboardWebView> dashboardView(const std::string& framesFile) override {
        calls_.push_back("dashboard view " + framesFile);
        auto view = std::make_unique<FakeDashboardView>(calls_);
        dashboard = view.get();
        return view;
    }
    std::unique_ptr<ChatGPTLoginView> chatgptLoginView() override {
        auto view = std::make_unique<FakeLoginView>(calls_);
        login = view.get();
        return view;
    }

    FakeDashboardView* dashboard = nullptr;
    FakeLoginView* login = nullptr;

private:
    sim::SimCookieStore cookies_;
    Calls& calls_;
};

/// A web profile whose module loads (fake parts) or is missing.
struct Rig {
    explicit Rig(bool moduleThere)
        : web(dir.path().string(), [this, moduleThere](const std::string& path) -> std::unique_ptr<platform::WebEngineParts> {
              ++loads;
              if (!moduleThere) throw platform::ModuleError("the module /x/PlugIns/veska-webengine.so is missing");
              EXPECT_EQ(path, dir.path().string());
              auto made = std::make_unique<FakeParts>(loop.main(), calls);
              parts = made.get();
              return made;
          }) {}

    CannotOpen recordCannotOpen() {
        return [this](const std::string& title, const std::string& detail) {
            calls.push_back("cannot open " + title + ": " + detail);
        };
    }

    rt::VirtualLoop loop;
    testing::TempDir dir;
    Calls calls;
    int loads = 0;
    FakeParts* parts = nullptr;
    LazyWebProfile web;
};

TEST(ModuleDashboardWebView, TheModuleLoadsOnceAtTheFirstWindowAndEveryCallbackReachesTheRealView) {
    Rig rig(true);
    ModuleDashboardWebView view(rig.web, "frames.ini", rig.recordCannotOpen());
    std::vector<std::string> asked;
    view.decideNavigation = [&asked](const std::string& url) {
        asked.push_back("first " + url);
        return false;
    };
    view.evaluate("early()");  // before any window: nothing to run it in
    EXPECT_EQ(rig.loads, 0);
    EXPECT_FALSE(view.exists());

    view.create("Settings");
    view.load("http://127.0.0.1/", 5);
    view.evaluate("x()");
    view.bringToFront();
    view.create("Settings again");
    EXPECT_EQ(rig.loads, 1);
    EXPECT_TRUE(view.exists());
    EXPECT_EQ(rig.calls, (Calls{"dashboard view frames.ini", "create Settings", "load http://127.0.0.1/", "evaluate x()",
                                "front", "create Settings again"}));

    // Set before the view existed, then replaced and added after: the real view calls the
    // stand-in's current ones.
    ASSERT_NE(rig.parts->dashboard, nullptr);
    EXPECT_FALSE(rig.parts->dashboard->decideNavigation("a:1"));
    view.decideNavigation = [&asked](const std::string& url) {
        asked.push_back("second " + url);
        return true;
    };
    int finished = 0;
    view.onNavigationFinished = [&finished] { ++finished; };
    EXPECT_TRUE(rig.parts->dashboard->decideNavigation("b:2"));
    rig.parts->dashboard->onNavigationFinished();
    EXPECT_EQ(asked, (std::vector<std::string>{"first a:1", "second b:2"}));
    EXPECT_EQ(finished, 1);
    // With none set the page may go anywhere, and a finished load reaches nobody.
    view.decideNavigation = nullptr;
    view.onNavigationFinished = nullptr;
    EXPECT_TRUE(rig.parts->dashboard->decideNavigation("c:3"));
    rig.parts->dashboard->onNavigationFinished();
}

TEST(ModuleDashboardWebView, WithoutTheModuleTheDashboardSaysItCannotOpenAndNothingElseHappens) {
    Rig rig(false);
    ModuleDashboardWebView view(rig.web, "frames.ini", rig.recordCannotOpen());
    ConfigDashboardWindowController dashboard(view);
    dashboard.show("http://127.0.0.1:8797/");
    EXPECT_FALSE(view.exists());
    dashboard.reload();
    dashboard.show("");  // asked again: tried again, said again
    EXPECT_EQ(rig.loads, 2);
    ASSERT_EQ(rig.calls.size(), 2u);
    EXPECT_TRUE(rig.calls[0].starts_with("cannot open ")) << rig.calls[0];
    EXPECT_NE(rig.calls[0].find("veska-webengine.so is missing"), std::string::npos) << rig.calls[0];
}

TEST(ModuleChatGPTLoginView, SettersAndButtonsReachTheRealWindow) {
    Rig rig(true);
    ModuleChatGPTLoginView view(rig.loop.main(), rig.web, rig.recordCannotOpen());
    int cancelled = 0;
    int closed = 0;
    view.onCancelButton = [&cancelled] { ++cancelled; };
    view.setHelp(std::string("before"));  // no window yet
    view.create(ChatGPTLoginContent{"Veska · ChatGPT", "note", "Cancel", "agent"});
    view.onClosedByUser = [&closed] { ++closed; };
    view.setHelp(std::string("help"));
    view.setHelp(std::nullopt);
    view.setProgressRunning(true);
    view.load("https://chatgpt.example/auth", 60);
    view.bringToFront();
    ASSERT_NE(rig.parts->login, nullptr);
    rig.parts->login->onCancelButton();
    rig.parts->login->onClosedByUser();
    view.dismiss();
    EXPECT_FALSE(view.exists());
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(rig.calls, (Calls{"create Veska · ChatGPT", "help help", "help -", "progress on",
                                "load https://chatgpt.example/auth", "front", "dismiss"}));
}

TEST(ModuleChatGPTLoginView, WithoutTheModuleTheSignInSaysSoAndEndsAsIfTheWindowWereClosed) {
    Rig rig(false);
    int closed = 0;
    {
        ModuleChatGPTLoginView view(rig.loop.main(), rig.web, rig.recordCannotOpen());
        view.onClosedByUser = [&closed] { ++closed; };
        view.create(ChatGPTLoginContent{"Veska · ChatGPT", "note", "Cancel", "agent"});
        EXPECT_EQ(closed, 0) << "never from inside create";
        EXPECT_FALSE(view.exists());
        view.setProgressRunning(true);
        view.load("https://chatgpt.example/auth", 60);
        rig.loop.runUntilIdle();
        EXPECT_EQ(closed, 1);
        // A window gone before its notice runs sends none.
        view.create(ChatGPTLoginContent{"Veska · ChatGPT", "note", "Cancel", "agent"});
    }
    rig.loop.runUntilIdle();
    EXPECT_EQ(closed, 1);
    ASSERT_EQ(rig.calls.size(), 2u);
    EXPECT_TRUE(rig.calls[0].starts_with("cannot open Veska · ChatGPT: ")) << rig.calls[0];
}

/// Writes a profile's Cookies database as the engine leaves it, with one row per cookie.
void writeCookiesDatabase(const std::string& path, const std::vector<std::tuple<std::string, std::string, bool>>& rows) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string sql =
        "CREATE TABLE cookies (creation_utc INTEGER, host_key TEXT, name TEXT, value TEXT, path TEXT, "
        "expires_utc INTEGER, has_expires INTEGER, is_persistent INTEGER, is_secure INTEGER, is_httponly INTEGER);";
    int created = 1;
    for (const auto& [name, value, persistent] : rows) {
        sql += "INSERT INTO cookies VALUES (" + std::to_string(created++) + ", '.claude.example', '" + name + "', '" +
               value + "', '/', 0, 0, " + (persistent ? "1" : "0") + ", 1, 1);";
    }
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(LazyWebProfile, WithoutTheModuleSavedCookiesAreReadAndChangesAreRefused) {
    Rig rig(false);
    writeCookiesDatabase((rig.dir.path() / "Cookies").string(), {{"sessionKey", "k1", true}, {"tmp", "t", false}});
    const auto all = rig.loop.run(rig.web.all());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].name + "=" + all[0].value, "sessionKey=k1");
    EXPECT_EQ(rig.loads, 0) << "reading needs no engine";

    ports::WebCookie cookie;
    cookie.name = "sso";
    cookie.value = "v";
    cookie.domain = ".x.example";
    EXPECT_FALSE(rig.loop.run(rig.web.set(cookie)));
    rig.loop.run(rig.web.deleteCookie(all[0]));
    const ports::Subscription subscription = rig.web.subscribe([](const ports::CookieChange&) {});
    EXPECT_EQ(rig.loads, 3);
    EXPECT_FALSE(rig.web.started());
    EXPECT_NE(rig.web.error().find("is missing"), std::string::npos);
    EXPECT_EQ(rig.loop.run(rig.web.all()).size(), 1u) << "the database is untouched";
}

TEST(LazyWebProfile, TheFirstChangeStartsTheEngineAndEverythingGoesThroughItFromThen) {
    Rig rig(true);
    ports::WebCookie cookie;
    cookie.name = "sso";
    cookie.value = "v";
    cookie.domain = ".x.example";
    EXPECT_TRUE(rig.loop.run(rig.web.set(cookie)));
    EXPECT_TRUE(rig.web.started());
    const auto all = rig.loop.run(rig.web.all());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].name, "sso");
    EXPECT_EQ(rig.loads, 1);
}

TEST(ShowCannotOpen, AMessageWindowTitledLikeTheWindowSaysWhy) {
    testing::qtMain();
    showCannotOpen("Veska · Settings", "the module /x/veska-webengine.so is missing");
    QMessageBox* shown = nullptr;
    testing::pump(
        [&shown] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) shown = box;
            }
            return shown != nullptr;
        },
        5);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->windowTitle().toStdString(), "Veska · Settings");
    EXPECT_FALSE(shown->isModal());
    EXPECT_NE(shown->informativeText().toStdString().find("veska-webengine.so is missing"), std::string::npos);
    EXPECT_FALSE(shown->text().isEmpty());
    shown->close();
}

}  // namespace
}  // namespace veska::app
