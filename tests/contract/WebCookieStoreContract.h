// Contract of the WebCookieStore port: identity, order, expiry, refusals and change notices.
// Instantiate with a factory type whose static make() returns a WebCookieStoreContractEnv.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "contract/ContractEnv.h"
#include "ports/WebCookieStore.h"

namespace veska::contract {

class WebCookieStoreContractEnv : public ContractEnv {
public:
    /// An empty store.
    virtual ports::WebCookieStore& store() = 0;
};

namespace cookies {

inline ports::WebCookie make(std::string name, std::string value, std::string domain, std::string path = "/") {
    ports::WebCookie c;
    c.name = std::move(name);
    c.value = std::move(value);
    c.domain = std::move(domain);
    c.path = std::move(path);
    return c;
}

inline std::vector<std::string> names(const std::vector<ports::WebCookie>& list) {
    std::vector<std::string> out;
    for (const auto& c : list) out.push_back(c.name + "=" + c.value + "@" + c.domain + c.path);
    return out;
}

inline rt::Task<std::vector<ports::WebCookie>> setAll(ports::WebCookieStore* store, std::vector<ports::WebCookie> list) {
    for (auto& cookie : list) {
        const bool stored = co_await store->set(std::move(cookie));
        if (!stored) throw std::runtime_error("a valid cookie was refused");
    }
    std::vector<ports::WebCookie> all = co_await store->all();
    co_return all;
}

inline rt::Task<std::pair<bool, std::vector<ports::WebCookie>>> trySet(ports::WebCookieStore* store, ports::WebCookie cookie) {
    const bool stored = co_await store->set(std::move(cookie));
    std::vector<ports::WebCookie> all = co_await store->all();
    co_return std::make_pair(stored, all);
}

inline rt::Task<std::vector<ports::WebCookie>> remove(ports::WebCookieStore* store, ports::WebCookie cookie) {
    co_await store->deleteCookie(std::move(cookie));
    std::vector<ports::WebCookie> all = co_await store->all();
    co_return all;
}

inline rt::Task<ports::Subscription> listen(ports::WebCookieStore* store, std::vector<std::string>* seen, rt::Executor* expected) {
    co_return store->subscribe([seen, expected](const ports::CookieChange& change) {
        const bool here = rt::Executor::current() == expected;
        seen->push_back(std::string(change.removed ? "-" : "+") + change.cookie.name + "=" + change.cookie.value +
                        (here ? "" : " (elsewhere)"));
    });
}

}  // namespace cookies

template <class Factory>
class WebCookieStoreContract : public ::testing::Test {
protected:
    std::unique_ptr<WebCookieStoreContractEnv> env_ = Factory::make();
    WebCookieStoreContractEnv& env() { return *env_; }
    ports::WebCookieStore* store() { return &env_->store(); }
    double now() { return env_->executor().wallNow(); }
};

TYPED_TEST_SUITE_P(WebCookieStoreContract);

using cookies::make;

TYPED_TEST_P(WebCookieStoreContract, CookiesKeepFirstSetOrderAndReplaceByIdentity) {
    auto all = runTask(this->env(), cookies::setAll(this->store(), {
        make("sessionKey", "k1", ".claude.example"),
        make("lastActiveOrg", "org-1", ".claude.example"),
        make("sso", "s1", ".x.example"),
        make("sessionKey", "k2", ".claude.example"),       // same identity: replaces k1 in place
        make("sessionKey", "k3", "claude.example"),        // host-only: another cookie
        make("sessionKey", "k4", ".claude.example", "/api"),  // another path: another cookie
        make("SSO", "s2", ".X.EXAMPLE"),                   // names differ in case: another cookie
    }));
    EXPECT_EQ(cookies::names(all), (std::vector<std::string>{
        "sessionKey=k2@.claude.example/", "lastActiveOrg=org-1@.claude.example/", "sso=s1@.x.example/",
        "sessionKey=k3@claude.example/", "sessionKey=k4@.claude.example/api", "SSO=s2@.X.EXAMPLE/"}));
}

TYPED_TEST_P(WebCookieStoreContract, EveryFieldIsKept) {
    auto cookie = make("sso", "v=1", ".x.example", "/console");
    cookie.expires = std::floor(this->now()) + 3600;
    cookie.secure = true;
    cookie.httpOnly = true;
    auto all = runTask(this->env(), cookies::setAll(this->store(), {cookie}));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0], cookie);
}

TYPED_TEST_P(WebCookieStoreContract, DeletingTakesOnlyThatCookie) {
    runTask(this->env(), cookies::setAll(this->store(), {make("a", "1", ".s.example"), make("b", "2", ".s.example"),
                                                         make("b", "3", ".s.example", "/p")}));
    auto left = runTask(this->env(), cookies::remove(this->store(), make("b", "whatever", ".S.example")));
    EXPECT_EQ(cookies::names(left), (std::vector<std::string>{"a=1@.s.example/", "b=3@.s.example/p"}));
    left = runTask(this->env(), cookies::remove(this->store(), make("zzz", "", ".s.example")));
    EXPECT_EQ(left.size(), 2u);
}

TYPED_TEST_P(WebCookieStoreContract, AnExpiredCookieDeletesInsteadOfStaying) {
    runTask(this->env(), cookies::setAll(this->store(), {make("sso", "live", ".x.example")}));
    auto expired = make("sso", "dead", ".x.example");
    expired.expires = this->now() - 10;
    auto [stored, all] = runTask(this->env(), cookies::trySet(this->store(), expired));
    EXPECT_TRUE(stored);
    EXPECT_TRUE(all.empty());
}

TYPED_TEST_P(WebCookieStoreContract, CookiesTheStoreCannotHoldAreRefused) {
    const std::vector<ports::WebCookie> rows = {
        make("", "v", ".s.example"),          make("n", "v", ""),
        make("a=b", "v", ".s.example"),       make("n", "v;x", ".s.example"),
        make("a b", "v", ".s.example"),       make("n", "v\nSet-Cookie: x", ".s.example"),
        make("n", "v", ".s.exa mple"),        make("n", "v", ".s.example", "/a;b"),
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto [stored, all] = runTask(this->env(), cookies::trySet(this->store(), rows[i]));
        EXPECT_FALSE(stored) << "row " << i;
        EXPECT_TRUE(all.empty()) << "row " << i;
    }
}

TYPED_TEST_P(WebCookieStoreContract, ChangesAreNoticedInOrderUntilUnsubscribed) {
    std::vector<std::string> seen;
    auto subscription = runTask(this->env(), cookies::listen(this->store(), &seen, &this->env().executor()));
    auto gone = make("sso", "x", ".x.example");
    gone.expires = this->now() - 1;
    runTask(this->env(), cookies::setAll(this->store(), {make("sso", "1", ".x.example"), make("sso", "2", ".x.example")}));
    runTask(this->env(), cookies::trySet(this->store(), gone));
    runTask(this->env(), cookies::trySet(this->store(), gone));  // nothing left to delete: no notice
    runTask(this->env(), cookies::setAll(this->store(), {make("k", "v", ".s.example")}));
    this->env().advance(0.1);
    EXPECT_EQ(seen, (std::vector<std::string>{"+sso=1", "+sso=2", "-sso=2", "+k=v"}));
    subscription.reset();
    runTask(this->env(), cookies::remove(this->store(), make("k", "", ".s.example")));
    this->env().advance(0.1);
    EXPECT_EQ(seen.size(), 4u);
}

REGISTER_TYPED_TEST_SUITE_P(WebCookieStoreContract, CookiesKeepFirstSetOrderAndReplaceByIdentity, EveryFieldIsKept,
                            DeletingTakesOnlyThatCookie, AnExpiredCookieDeletesInsteadOfStaying,
                            CookiesTheStoreCannotHoldAreRefused, ChangesAreNoticedInOrderUntilUnsubscribed);

}  // namespace veska::contract
