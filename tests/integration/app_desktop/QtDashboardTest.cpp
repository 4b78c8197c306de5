// The dashboard window on the real local core's page (Qt WebEngine, offscreen): the page gets
// the application's state and the permissions, the application's own links never navigate, and
// closing the window discards the page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "core/app/ConfigDashboardWindowController.h"
#include "e2e/support/Launched.h"
#include "platform/linux/PosixLocalMachine.h"
#include "platform/linux/webengine/QtChatGPTLoginView.h"
#include "platform/linux/webengine/QtDashboardWebView.h"
#include "platform/linux/webengine/QtWebProfile.h"
#include "support/LoopbackHttpServer.h"
#include "support/OffscreenQt.h"
#include "support/TempDir.h"

// The web engine (Chromium, not built with the sanitizers) keeps process-wide state until exit
// and frees some of its objects with a size of its own; neither is a fault of ours.
extern "C" const char* __lsan_default_options() {
    return "detect_leaks=0";
}  // NOLINT
extern "C" const char* __asan_default_options() {  // NOLINT
    return "detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0";
}

namespace veska::platform {
namespace {

/// Runs Qt's event loop until `done` holds or `seconds` pass.
template <class Pred>
bool spinUntil(Pred done, double seconds = 30) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > static_cast<qint64>(seconds * 1000)) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class QtDashboardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app_ = testing::makeOffscreenApp<QApplication>(true);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

    void SetUp() override {
        PosixLocalMachine machine;
        for (port_ = 21000 + (::getpid() % 20000);; ++port_) {
            if (machine.loopbackPortAnswers(port_) == false) break;
        }
        core_ = e2e::Launched(e2e::LaunchPlan{
            .argv = {"/usr/bin/node", std::string(VESKA_SOURCE_DIR) + "/packages/local-core/cli.mjs",
                     "serve"},
            .environment = {{"HOME", home_.path().string()},
                            {"PORT", std::to_string(port_)},
                            {"PATH", "/usr/bin:/bin"}},
        });
        ASSERT_TRUE(spinUntil([&] { return machine.loopbackPortAnswers(port_) == true; }, 15))
            << "no local core";
        profile_ = std::make_unique<QtWebProfile>((home_.path() / "webengine").string());
        view_ = std::make_unique<QtDashboardWebView>([this] { return profile_->profile(); },
                                                     (home_.path() / "frames.ini").string());
        controller_ = std::make_unique<ConfigDashboardWindowController>(*view_);
    }
    void TearDown() override {
        controller_.reset();
        view_.reset();
        profile_.reset();
        QCoreApplication::processEvents();
        core_.stop();
    }

    [[nodiscard]] std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

    /// The page's answer to `script` (a string expression).
    std::string ask(const std::string& script) {
        std::optional<std::string> answer;
        view_->view()->page()->runJavaScript(QString::fromStdString(script), [&](const QVariant& value) {
            answer = value.toString().toStdString();
        });
        EXPECT_TRUE(spinUntil([&] { return answer.has_value(); }, 10)) << script;
        return answer.value_or("");
    }
    bool loaded() {
        return view_->exists() && ask("document.readyState") == "complete" &&
               ask("String(typeof window.__veskaSetPerms)") == "function";
    }

    static inline QApplication* app_ = nullptr;
    testing::TempDir home_;
    int port_ = 0;
    e2e::Launched core_;
    std::unique_ptr<QtWebProfile> profile_;
    std::unique_ptr<QtDashboardWebView> view_;
    std::unique_ptr<ConfigDashboardWindowController> controller_;
};

TEST_F(QtDashboardTest, ThePageGetsTheAppStateAndThePermissions) {
    controller_->appJSON = R"({"version": "9.9.1", "claudeEmail": "me@example.vn", "claudeReady": true})";
    controller_->show(url());
    ASSERT_TRUE(view_->exists());
    EXPECT_EQ(view_->window()->windowTitle().toStdString().rfind("Veska · ", 0), 0u);
    ASSERT_TRUE(spinUntil([&] { return loaded(); }));
    // The state is handed over after the load finished.
    ASSERT_TRUE(spinUntil(
        [&] { return ask("document.getElementById('claude-email').textContent") == "me@example.vn"; }));
    EXPECT_NE(ask("document.getElementById('version').textContent").find("9.9.1"), std::string::npos);

    controller_->pushPerms({.mic = true, .ax = false, .im = true});
    ASSERT_TRUE(spinUntil([&] { return ask("document.getElementById('perm-ax').className") == "off"; }));
    EXPECT_EQ(ask("document.getElementById('perm-mic').className"), "on");
    EXPECT_EQ(ask("document.getElementById('perm-im').className"), "on");
}

TEST_F(QtDashboardTest, OwnLinksInAnyCaseReachTheAppAndNeverNavigate) {
    std::vector<std::string> links;
    controller_->onDeepLink = [&](const std::string& link) { links.push_back(link); };
    controller_->show(url());
    ASSERT_TRUE(spinUntil([&] { return loaded(); }));
    ask("(location.href = 'veska-voice-local://output?lang=fr', 'x')");
    ASSERT_TRUE(spinUntil([&] { return links.size() == 1; }));
    ask("(location.href = 'VESKA-Voice-Local://login/claude', 'x')");
    ASSERT_TRUE(spinUntil([&] { return links.size() == 2; }));
    EXPECT_EQ(links[0].rfind("veska-voice-local://output", 0), 0u) << links[0];
    EXPECT_NE(links[1].find("login/claude"), std::string::npos) << links[1];
    // Still on the dashboard.
    EXPECT_EQ(view_->view()->url().toString().toStdString(), url());
    EXPECT_EQ(ask("String(typeof window.__veskaSetApp)"), "function");
}

TEST_F(QtDashboardTest, ClosingDiscardsThePageAndShowingBuildsItAgain) {
    controller_->show(url());
    ASSERT_TRUE(spinUntil([&] { return loaded(); }));
    QWidget* first = view_->window();
    first->close();
    // The page goes with the window once the event loop has run (slow under load: generous).
    ASSERT_TRUE(spinUntil([&] { return !view_->exists(); }));
    EXPECT_FALSE(controller_->isOpen());
    controller_->show("not a url");
    ASSERT_TRUE(view_->exists());
    // An address that does not parse opens the core's default address.
    EXPECT_EQ(controller_->lastURL(), std::optional<std::string>("http://127.0.0.1:8797/"));
    controller_->show(url());
    ASSERT_TRUE(spinUntil([&] { return loaded(); }));
}

TEST_F(QtDashboardTest, TheChatGPTSignInWindowShowsItsBarAndSendsItsUserAgent) {
    testing::LoopbackHttpServer service;
    service.route({ports::HttpMethod::get,
                   "/auth/login",
                   std::nullopt,
                   {sim::HttpBehaviour::reply(200, "<html><body>sign in</body></html>",
                                              {{"Content-Type", "text/html"}})}});
    QtChatGPTLoginView login([this] { return profile_->profile(); });
    int cancels = 0;
    int closedByUser = 0;
    login.onCancelButton = [&] { ++cancels; };
    login.onClosedByUser = [&] { ++closedByUser; };
    login.create({.title = "Veska · ChatGPT",
                  .note = "a note",
                  .cancel = "Cancel",
                  .userAgent = "VeskaTestAgent/1.0"});
    ASSERT_TRUE(login.exists());
    EXPECT_EQ(login.window()->windowTitle(), "Veska · ChatGPT");
    login.setProgressRunning(true);
    login.bringToFront();
    EXPECT_TRUE(login.progress()->isVisible());
    EXPECT_FALSE(login.help()->isVisible());
    login.setHelp("Still waiting");
    EXPECT_TRUE(login.help()->isVisible());
    EXPECT_EQ(login.help()->text(), "Still waiting");
    login.setHelp(std::nullopt);
    EXPECT_FALSE(login.help()->isVisible());

    login.load(service.baseUrl() + "/auth/login", 60);
    ASSERT_TRUE(spinUntil([&] { return !service.requests().empty(); }));
    EXPECT_EQ(service.requests().front().headers.value("User-Agent"),
              std::optional<std::string>("VeskaTestAgent/1.0"));

    for (QPushButton* button : login.window()->findChildren<QPushButton*>()) {
        if (button->text() == "Cancel") button->click();
    }
    EXPECT_EQ(cancels, 1);
    // Dismissed by the controller: not the user closing it.
    login.dismiss();
    EXPECT_FALSE(login.exists());
    EXPECT_EQ(closedByUser, 0);
    // Closed by the user: reported once, and the window is gone.
    login.create({.title = "Veska · ChatGPT", .note = "", .cancel = "Cancel", .userAgent = ""});
    login.bringToFront();
    login.window()->close();
    EXPECT_EQ(closedByUser, 1);
    EXPECT_FALSE(login.exists());
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace veska::platform
