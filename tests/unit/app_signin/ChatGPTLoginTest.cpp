// The ChatGPT sign-in window's polling on the simulated service and virtual time.
#include <gtest/gtest.h>

#include "core/app/ChatGPTLoginWindowController.h"
#include "core/ui/AppStrings.h"
#include "platform/sim/SimCookieStore.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {
namespace {

constexpr char kOrigin[] = "https://chatgpt.test";

class RecordingLoginView final : public ChatGPTLoginView {
public:
    bool exists() const override { return open; }
    void create(const ChatGPTLoginContent& shown) override {
        open = true;
        content = shown;
        ++builds;
    }
    void setHelp(const std::optional<std::string>& text) override { help = text; }
    void setProgressRunning(bool running) override { progress = running; }
    void bringToFront() override {}
    void load(const std::string& url, double /*timeoutSeconds*/) override { loads.push_back(url); }
    void dismiss() override { open = false; }

    bool open = false;
    int builds = 0;
    ChatGPTLoginContent content;
    std::optional<std::string> help;
    bool progress = false;
    std::vector<std::string> loads;
};

struct LoginRig {
    LoginRig() {
        http.attach(server);
        login.onSuccess = [this](const std::string& token, const std::optional<nlohmann::json>&) {
            tokens.push_back(token);
        };
        login.onCancel = [this] { ++cancels; };
    }
    void signIn() {
        ports::WebCookie cookie;
        cookie.name = "__Secure-next-auth.session-token";
        cookie.value = "s";
        cookie.domain = ".chatgpt.com";
        ASSERT_TRUE(store.setFromPage(std::move(cookie)));
    }
    void answers(std::vector<sim::HttpBehaviour> behaviours) {
        server.route({ports::HttpMethod::get, "/api/auth/session", std::nullopt, std::move(behaviours)});
    }
    std::size_t sessionRequests() const { return server.requestsTo("/api/auth/session").size(); }

    rt::VirtualLoop loop;
    sim::SimCookieStore store{loop.lane("web")};
    sim::SimHttpServer server{kOrigin};
    sim::SimHttpClient http{loop.lane("network")};
    WebCookieJar jar{store};
    ChatGPTSession session{loop.main(), jar, http, ChatGPTSessionConfig{kOrigin}};
    RecordingLoginView view;
    ChatGPTLoginWindowController login{loop.main(), session, view};
    std::vector<std::string> tokens;
    int cancels = 0;
};

TEST(ChatGPTLogin, AUserAlreadySignedInIsRecognisedAtOnce) {
    LoginRig rig;
    rig.signIn();
    rig.answers({sim::HttpBehaviour::reply(200, R"({"accessToken":"tok"})")});
    rig.login.show(false);
    EXPECT_EQ(rig.view.content.title, "Veska · ChatGPT");
    EXPECT_TRUE(rig.view.progress);
    rig.loop.runFor(0.1);
    EXPECT_EQ(rig.view.loads, (std::vector<std::string>{"https://chatgpt.test/auth/login"}));
    EXPECT_EQ(rig.tokens, (std::vector<std::string>{"tok"}));
    EXPECT_FALSE(rig.view.open);
    EXPECT_FALSE(rig.view.progress);
    EXPECT_EQ(rig.cancels, 0);
    EXPECT_EQ(rig.sessionRequests(), 1U);
}

TEST(ChatGPTLogin, PollsEveryTwoSecondsUntilTheSessionAppears) {
    LoginRig rig;
    rig.login.show(false);
    rig.loop.runFor(5);
    EXPECT_EQ(rig.sessionRequests(), 0U) << "without cookies the service is not asked";
    rig.signIn();
    rig.answers({sim::HttpBehaviour::reply(200, "{}"), sim::HttpBehaviour::reply(200, R"({"access_token":"t2"})")});
    rig.loop.runFor(1.9);
    EXPECT_EQ(rig.sessionRequests(), 1U);
    EXPECT_TRUE(rig.tokens.empty());
    rig.loop.runFor(2);
    EXPECT_EQ(rig.tokens, (std::vector<std::string>{"t2"}));
    EXPECT_FALSE(rig.login.polling());
}

TEST(ChatGPTLogin, GivesUpAfterNinetyAttemptsWithTheHelpLineAndTheWindowOpen) {
    LoginRig rig;
    rig.signIn();
    rig.answers({sim::HttpBehaviour::reply(401, "{}")});
    rig.login.show(false);
    rig.loop.runFor(177);
    EXPECT_EQ(rig.sessionRequests(), 89U);
    EXPECT_FALSE(rig.view.help);
    rig.loop.runFor(2);
    EXPECT_EQ(rig.sessionRequests(), 90U);
    EXPECT_EQ(rig.view.help, AppStrings::chatgptLoginHelp());
    EXPECT_FALSE(rig.view.progress);
    EXPECT_FALSE(rig.login.polling());
    EXPECT_TRUE(rig.view.open);
    rig.loop.runFor(60);
    EXPECT_EQ(rig.sessionRequests(), 90U);
    // Showing again starts over with the help hidden.
    rig.login.show(false);
    EXPECT_FALSE(rig.view.help);
    EXPECT_EQ(rig.view.builds, 1);
}

TEST(ChatGPTLogin, ForcedSignInRemovesTheSessionBeforeTheSignInPage) {
    LoginRig rig;
    rig.signIn();
    rig.answers({sim::HttpBehaviour::reply(200, R"({"accessToken":"old"})")});
    rig.login.show(true);
    rig.loop.runFor(10);
    EXPECT_TRUE(rig.tokens.empty()) << "the old session is gone before polling starts";
    EXPECT_FALSE(rig.loop.run(rig.session.hasSessionCookie()));
    EXPECT_EQ(rig.view.loads.size(), 1U);
    EXPECT_TRUE(rig.login.polling());
}

TEST(ChatGPTLogin, ClosingAndCancellingStopThePolling) {
    struct Row {
        const char* name;
        void (*act)(LoginRig&);
        int cancels;
    };
    const Row rows[] = {
        {"window closed by hand", [](LoginRig& rig) { rig.view.dismiss(), rig.view.onClosedByUser(); }, 1},
        {"cancel button", [](LoginRig& rig) { rig.view.onCancelButton(); }, 1},
        {"close()", [](LoginRig& rig) { rig.login.close(); }, 0},
    };
    for (const Row& row : rows) {
        LoginRig rig;
        rig.signIn();
        rig.answers({sim::HttpBehaviour::reply(401, "{}")});
        rig.login.show(false);
        rig.loop.runFor(3);
        row.act(rig);
        const std::size_t asked = rig.sessionRequests();
        rig.loop.runFor(20);
        EXPECT_EQ(rig.sessionRequests(), asked) << row.name;
        EXPECT_FALSE(rig.view.open) << row.name;
        EXPECT_EQ(rig.cancels, row.cancels) << row.name;
        EXPECT_TRUE(rig.tokens.empty()) << row.name;
    }
}

}  // namespace
}  // namespace veska::testing
