// The ChatGPT session exchange over real HTTP: the libcurl client against the loopback fake,
// which checks the browser headers and answers in every token form it knows.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/web/ChatGPTSession.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "platform/sim/SimCookieStore.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"
#include "support/FakeService.h"

namespace veska::testing {
namespace {

using json = nlohmann::json;

class ChatGPTSessionFake : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fake_ = new FakeService("chatgpt"); }
    static void TearDownTestSuite() {
        delete fake_;
        fake_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(fake_->post("/__fake/reset", "{}").status, 200); }

    void cookie(const std::string& name, const std::string& value) {
        ports::WebCookie c;
        c.name = name;
        c.value = value;
        c.domain = ".chatgpt.com";
        ASSERT_TRUE(store_.setFromPage(std::move(c)));
    }

    template <class T>
    T run(rt::Task<T> task, double maxSeconds = 20) {
        auto handle = rt::spawn(loop_, std::move(task));
        EXPECT_TRUE(loop_.runUntil([&] { return handle.done(); }, maxSeconds)) << "the task did not end in time";
        return handle.take();
    }

    json requests() const { return json::parse(fake_->get("/__fake/requests").body)["requests"]; }

    rt::RunLoop loop_;
    sim::SimCookieStore store_{loop_};
    platform::CurlHttpClient http_;
    WebCookieJar jar_{store_};
    ChatGPTSession session_{loop_, jar_, http_, ChatGPTSessionConfig{fake_->baseUrl()}};

    static inline FakeService* fake_ = nullptr;
};

TEST_F(ChatGPTSessionFake, EveryTokenFormOfTheServiceIsReadOrRefused) {
    struct Row {
        const char* cookieValue;
        bool token;
    };
    const Row rows[] = {
        {"form-accessToken", true}, {"form-access_token", true}, {"form-nested", true},
        {"form-empty", false},      {"form-notObject", false},   {"form-notJson", false},
        {"form-signedOut", false},  {"status-401", false},       {"status-500", false},
        {"drop", false},
    };
    for (const Row& row : rows) {
        cookie("__Secure-next-auth.session-token", row.cookieValue);
        const std::optional<ChatGPTToken> token = run(session_.fetchAccessToken());
        EXPECT_EQ(token.has_value(), row.token) << row.cookieValue;
        if (token) {
            EXPECT_EQ(token->token.substr(0, 3), "eyJ") << row.cookieValue;
            EXPECT_EQ((*token->session)["user"]["email"], "user@veska.test");
        }
    }
    for (const json& request : requests()) EXPECT_TRUE(request["problems"].empty()) << request.dump();
}

TEST_F(ChatGPTSessionFake, ChunkedSessionCookieReachesTheServiceWhole) {
    cookie("__Secure-next-auth.session-token.1", "token");
    cookie("__Secure-next-auth.session-token.0", "form-access_");
    EXPECT_TRUE(run(session_.hasSessionCookie()));
    const std::optional<ChatGPTToken> token = run(session_.fetchAccessToken());
    ASSERT_TRUE(token);
    const json sent = requests();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0]["sessionCookie"], "form-access_token");
    EXPECT_TRUE(sent[0]["problems"].empty()) << sent[0]["problems"].dump();
    EXPECT_TRUE((*token->session).contains("access_token"));
}

TEST_F(ChatGPTSessionFake, AnAnswerThatNeverComesEndsWithoutAToken) {
    cookie("__Secure-next-auth.session-token", "form-accessToken");
    ASSERT_EQ(fake_->post("/__fake/script", R"({"session":[{"status":200,"delayMs":300,"drop":true}]})").status, 200);
    EXPECT_FALSE(run(session_.fetchAccessToken()));
    EXPECT_TRUE(run(session_.fetchAccessToken())) << "the next exchange is answered again";
}

}  // namespace
}  // namespace veska::testing
