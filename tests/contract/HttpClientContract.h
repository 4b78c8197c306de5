// Contract of the HttpClient port, part one: requests, answers, failures and redirects.
// Instantiate with a factory type whose static make() returns a HttpContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "contract/HttpContractEnv.h"

namespace veska::contract {

template <class Factory>
class HttpClientContract : public ::testing::Test {
protected:
    std::unique_ptr<HttpContractEnv> env_ = Factory::make();
    HttpContractEnv& env() { return *env_; }
    ports::HttpClient* client() { return &env_->client(); }
};

TYPED_TEST_SUITE_P(HttpClientContract);

TYPED_TEST_P(HttpClientContract, SendsWhatTheRequestSaysAndReadsTheAnswer) {
    using ports::HttpMethod;
    struct Row {
        HttpMethod method;
        std::string target;
        std::string body;
        int status;
        std::string answer;
    };
    const std::vector<Row> rows = {
        {HttpMethod::get, "/v1/status", "", 200, R"({"ok":true})"},
        {HttpMethod::post, "/v1/audio?lang=vi", "--Boundary--\r\n", 201, "made"},
        {HttpMethod::put, "/v1/config/prefs", R"({"stt":{}})", 204, ""},
        {HttpMethod::patch, "/p", "x", 400, "bad"},
        {HttpMethod::remove, "/d", "", 404, "gone"},
        {HttpMethod::get, "/err", "", 503, ""},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const std::string path = row.target.substr(0, row.target.find('?'));
        this->env().route(sim::HttpRoute{row.method, path, std::nullopt,
                                         {sim::HttpBehaviour::reply(row.status, row.answer, {{"X-Trace", "t1"}})}});
        ports::HttpRequest request = http::get(this->env().baseUrl() + row.target);
        request.method = row.method;
        request.body = row.body;
        request.headers = {{"Content-Type", "application/json"}, {"Authorization", "Bearer k-123"}};
        Fetched got = runTask(this->env(), http::fetchAll(this->client(), request, 1 << 20));
        EXPECT_EQ(got.status, row.status) << "row " << i;
        EXPECT_EQ(got.body, row.answer) << "row " << i;
        EXPECT_EQ(got.headers.value("x-trace"), "t1") << "header lookup ignores letter case, row " << i;
        const auto seen = this->env().requests().back();
        EXPECT_EQ(seen.method, row.method) << "row " << i;
        EXPECT_EQ(seen.path, path) << "row " << i;
        EXPECT_EQ(seen.body, row.body) << "row " << i;
        EXPECT_EQ(seen.headers.value("authorization"), "Bearer k-123") << "row " << i;
    }
}

TYPED_TEST_P(HttpClientContract, HeadGetsTheHeadAndAnEmptyBody) {
    this->env().route(http::always("/big", sim::HttpBehaviour::reply(200, std::string(5000, 'x'))));
    ports::HttpRequest request = http::get(this->env().baseUrl() + "/big");
    request.method = ports::HttpMethod::head;
    Fetched got = runTask(this->env(), http::fetchAll(this->client(), request, 1 << 20));
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.headers.value("Content-Length"), "5000");
    EXPECT_EQ(got.body, "");
    EXPECT_EQ(this->env().requests().back().method, ports::HttpMethod::head);
}

TYPED_TEST_P(HttpClientContract, FailuresWithoutAnAnswerAreErrorsNotStatuses) {
    using ports::HttpErrorKind;
    using sim::HttpOpening;
    struct Row {
        std::string url;  // empty: the scripted route
        HttpOpening opening;
        HttpErrorKind expected;
    };
    const std::string base = this->env().baseUrl();
    const std::vector<Row> rows = {
        {"", HttpOpening::refuse, HttpErrorKind::network},
        {"", HttpOpening::drop, HttpErrorKind::network},
        {"", HttpOpening::malformed, HttpErrorKind::badResponse},
        {"", HttpOpening::tlsFailure, HttpErrorKind::tls},
        {this->env().unreachableUrl(), HttpOpening::respond, HttpErrorKind::network},
        {"not a url", HttpOpening::respond, HttpErrorKind::invalidUrl},
        {"ftp://files.example/x", HttpOpening::respond, HttpErrorKind::invalidUrl},
        {"http://", HttpOpening::respond, HttpErrorKind::invalidUrl},
        {"http://exa mple.com/", HttpOpening::respond, HttpErrorKind::invalidUrl},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        this->env().route(http::always("/fail", sim::HttpBehaviour::failing(row.opening, 0.05)));
        const std::string url = row.url.empty() ? base + "/fail" : row.url;
        auto error = runForError<ports::HttpError>(this->env(), http::fetchAll(this->client(), http::get(url), 100));
        ASSERT_TRUE(error.has_value()) << "row " << i;
        EXPECT_EQ(error->kind(), row.expected) << "row " << i;
    }
}

TYPED_TEST_P(HttpClientContract, HeaderFieldsThatCouldSplitTheRequestAreRefused) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"X-Evil", "a\r\nInjected: 1"}, {"X-Evil", "a\nb"}, {"Bad Name", "v"}, {"", "v"}, {"X-Nul", std::string("a\0b", 3)},
    };
    this->env().route(http::always("/h", sim::HttpBehaviour::reply(200, "ok")));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ports::HttpRequest request = http::get(this->env().baseUrl() + "/h");
        request.headers.add(rows[i].first, rows[i].second);
        auto error = runForError<ports::HttpError>(this->env(), http::fetchAll(this->client(), request, 100));
        ASSERT_TRUE(error.has_value()) << "row " << i;
        EXPECT_EQ(error->kind(), ports::HttpErrorKind::invalidHeader) << "row " << i;
    }
    EXPECT_TRUE(this->env().requests().empty()) << "nothing may reach the server";
}

TYPED_TEST_P(HttpClientContract, SuccessiveRequestsGetTheRouteBehavioursInTurn) {
    this->env().route(sim::HttpRoute{std::nullopt, "/token", std::nullopt,
                                     {sim::HttpBehaviour::reply(401, "no"), sim::HttpBehaviour::reply(200, "yes")}});
    std::vector<int> statuses;
    for (int i = 0; i < 3; ++i) {
        auto got = runTask(this->env(), http::fetchAll(this->client(), http::get(this->env().baseUrl() + "/token"), 100));
        statuses.push_back(got.status);
    }
    EXPECT_EQ(statuses, (std::vector<int>{401, 200, 200}));
}

TYPED_TEST_P(HttpClientContract, RedirectsAreFollowedAsTheStatusSays) {
    struct Row {
        int status;
        ports::HttpMethod method;
        ports::HttpMethod methodAfter;
        bool bodyKept;
    };
    const std::vector<Row> rows = {
        {301, ports::HttpMethod::get, ports::HttpMethod::get, false},
        {302, ports::HttpMethod::post, ports::HttpMethod::get, false},
        {303, ports::HttpMethod::post, ports::HttpMethod::get, false},
        {307, ports::HttpMethod::post, ports::HttpMethod::post, true},
        {308, ports::HttpMethod::put, ports::HttpMethod::put, true},
    };
    this->env().route(http::always("/final", sim::HttpBehaviour::reply(200, "here")));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        this->env().route(http::always("/moved", sim::HttpBehaviour::redirect(rows[i].status, "/final")));
        ports::HttpRequest request = http::get(this->env().baseUrl() + "/moved");
        request.method = rows[i].method;
        request.body = rows[i].method == ports::HttpMethod::get ? "" : "payload";
        Fetched got = runTask(this->env(), http::fetchAll(this->client(), request, 100));
        EXPECT_EQ(got.status, 200) << "row " << i;
        EXPECT_EQ(got.body, "here") << "row " << i;
        EXPECT_EQ(got.url, this->env().baseUrl() + "/final") << "row " << i;
        const auto last = this->env().requests().back();
        EXPECT_EQ(last.method, rows[i].methodAfter) << "row " << i;
        EXPECT_EQ(last.body, rows[i].bodyKept ? request.body : "") << "row " << i;
    }
}

TYPED_TEST_P(HttpClientContract, CredentialsDoNotFollowARedirectToAnotherOrigin) {
    this->env().route(http::always("/elsewhere", sim::HttpBehaviour::reply(200, "other")), 1);
    this->env().route(http::always("/same", sim::HttpBehaviour::reply(200, "same")));
    this->env().route(http::always("/away", sim::HttpBehaviour::redirect(302, this->env().baseUrl(1) + "/elsewhere")));
    this->env().route(http::always("/near", sim::HttpBehaviour::redirect(302, "/same")));
    for (const std::string path : {"/away", "/near"}) {
        ports::HttpRequest request = http::get(this->env().baseUrl() + path);
        request.headers = {{"Authorization", "Bearer s3cret"}, {"Cookie", "sessionKey=abc"}, {"Accept", "*/*"}};
        runTask(this->env(), http::fetchAll(this->client(), request, 100));
    }
    const auto other = this->env().requests(1).back();
    EXPECT_FALSE(other.headers.contains("Authorization"));
    EXPECT_FALSE(other.headers.contains("Cookie"));
    EXPECT_EQ(other.headers.value("Accept"), "*/*");
    const auto same = this->env().requests().back();
    EXPECT_EQ(same.path, "/same");
    EXPECT_EQ(same.headers.value("Cookie"), "sessionKey=abc");
}

TYPED_TEST_P(HttpClientContract, RedirectsCanBeReadInsteadOfFollowed) {
    this->env().route(http::always("/moved", sim::HttpBehaviour::redirect(302, "/final")));
    this->env().route(http::always("/loop", sim::HttpBehaviour::redirect(302, "/loop")));
    ports::HttpRequest request = http::get(this->env().baseUrl() + "/moved");
    request.followRedirects = false;
    Fetched got = runTask(this->env(), http::fetchAll(this->client(), request, 100));
    EXPECT_EQ(got.status, 302);
    EXPECT_EQ(got.headers.value("location"), "/final");
    auto error = runForError<ports::HttpError>(
        this->env(), http::fetchAll(this->client(), http::get(this->env().baseUrl() + "/loop"), 100));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), ports::HttpErrorKind::tooManyRedirects);
    std::size_t loops = 0;
    for (const auto& seen : this->env().requests()) loops += seen.path == "/loop" ? 1 : 0;
    EXPECT_EQ(loops, static_cast<std::size_t>(ports::kMaxRedirects) + 1);
}

REGISTER_TYPED_TEST_SUITE_P(HttpClientContract, SendsWhatTheRequestSaysAndReadsTheAnswer,
                            HeadGetsTheHeadAndAnEmptyBody, FailuresWithoutAnAnswerAreErrorsNotStatuses,
                            HeaderFieldsThatCouldSplitTheRequestAreRefused,
                            SuccessiveRequestsGetTheRouteBehavioursInTurn, RedirectsAreFollowedAsTheStatusSays,
                            CredentialsDoNotFollowARedirectToAnotherOrigin, RedirectsCanBeReadInsteadOfFollowed);

}  // namespace veska::contract
