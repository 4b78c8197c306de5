// Both AI fakes, the libcurl client and a main loop: what the engine tests run on.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ai/AIHTTP.h"
#include "core/ai/AIHealth.h"
#include "core/ai/ApiTextSession.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "runtime/RunLoop.h"
#include "runtime/Spawn.h"
#include "support/FakeService.h"

namespace veska::testing {

/// The fakes are started once for all tests of a suite and reset before each test.
class EngineFakes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        gemini_ = new FakeService("gemini");
        deepseek_ = new FakeService("deepseek");
    }
    static void TearDownTestSuite() {
        delete gemini_;
        delete deepseek_;
        gemini_ = deepseek_ = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(gemini_->post("/__fake/reset", "{}").status, 200);
        ASSERT_EQ(deepseek_->post("/__fake/reset", "{}").status, 200);
    }

    FakeService& fake(AISource source) { return source == AISource::gemini ? *gemini_ : *deepseek_; }

    AIHTTP::Link link() {
        return AIHTTP::Link{
            .http = &http_, .endpoints = {gemini_->baseUrl(), deepseek_->baseUrl()}, .health = &health_};
    }

    /// Queues `answers` for `model` ("*": any) of `source`.
    void script(AISource source, const std::string& model, const std::vector<nlohmann::json>& answers) {
        const nlohmann::json body = {{"model", model}, {"answers", answers}};
        ASSERT_EQ(fake(source).post("/__fake/script", body.dump()).status, 200);
    }

    /// Every request the fake saw, in order.
    std::vector<nlohmann::json> requests(AISource source) {
        auto reply = fake(source).get("/__fake/requests");
        return nlohmann::json::parse(reply.body)["requests"].get<std::vector<nlohmann::json>>();
    }

    /// Fails the test when a request broke the protocol the fake checks.
    void expectNoProblems(AISource source) {
        for (const auto& request : requests(source)) {
            EXPECT_TRUE(request["problems"].empty()) << request["problems"].dump();
        }
    }

    std::unique_ptr<ApiTextSession> session(AISource source, std::vector<std::string> models,
                                            std::string key = "test-key") {
        return std::make_unique<ApiTextSession>(link(), source, std::move(models), std::move(key),
                                                "Be brief.", 0.7);
    }

    /// Runs `task` on the loop to its end (at most `maxSeconds`) and returns its handle.
    template <class T>
    rt::JoinHandle<T> run(rt::Task<T> task, double maxSeconds = 20) {
        auto handle = rt::spawn(loop_, std::move(task));
        EXPECT_TRUE(loop_.runUntil([&] { return handle.done(); }, maxSeconds))
            << "the task did not end in time";
        return handle;
    }

    /// Runs the loop until `done()` holds, checking it every few milliseconds too, since the
    /// client and the fakes change state on threads of their own.
    bool waitFor(const std::function<bool()>& done, double maxSeconds = 5) {
        const double end = loop_.now() + maxSeconds;
        while (loop_.now() < end) {
            if (loop_.runUntil(done, 0.01)) return true;
        }
        return done();
    }

    /// The TranslateError a send ended with; fails the test if it ended otherwise.
    std::optional<TranslateError> sendError(ApiTextSession& s, std::string text) {
        auto handle = run(s.send(std::move(text), [](const std::string&) {}));
        try {
            handle.take();
        } catch (const TranslateError& error) {
            return error;
        } catch (...) {
            ADD_FAILURE() << "the send ended with something else than a TranslateError";
        }
        return std::nullopt;
    }

    rt::RunLoop loop_;
    platform::CurlHttpClient http_;
    AIHealth health_;

    static inline FakeService* gemini_ = nullptr;
    static inline FakeService* deepseek_ = nullptr;
};

}  // namespace veska::testing
