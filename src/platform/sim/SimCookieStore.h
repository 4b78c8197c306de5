// The simulated web profile's cookie store: in memory, with change notices.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ports/WebCookieStore.h"
#include "runtime/Executor.h"

namespace veska::sim {

/// Cookies in first-set order. Expiry is judged by `clock`'s calendar time. Pages of the
/// simulated web (sign-in flows) change it through `setFromPage` and `deleteFromPage`, which
/// notify subscribers as the port's own calls do. Lives on the loop's thread.
class SimCookieStore final : public ports::WebCookieStore {
public:
    explicit SimCookieStore(rt::Executor& clock);
    ~SimCookieStore() override;
    SimCookieStore(const SimCookieStore&) = delete;
    SimCookieStore& operator=(const SimCookieStore&) = delete;

    /// A web page sets a cookie; false when the store cannot hold it.
    bool setFromPage(ports::WebCookie cookie);
    void deleteFromPage(const ports::WebCookie& cookie);
    /// What the store holds now, without waiting.
    [[nodiscard]] const std::vector<ports::WebCookie>& cookies() const;

    rt::Task<std::vector<ports::WebCookie>> all() override;
    rt::Task<bool> set(ports::WebCookie cookie) override;
    rt::Task<void> deleteCookie(ports::WebCookie cookie) override;
    ports::Subscription subscribe(std::function<void(const ports::CookieChange&)> onChange) override;

    struct State;

private:
    rt::Executor& clock_;
    std::shared_ptr<State> state_;
};

}  // namespace veska::sim
