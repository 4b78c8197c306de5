// The simulated cookie store: identity by name, domain and path; notices per subscriber.
#include "platform/sim/SimCookieStore.h"

#include <algorithm>

#include "runtime/Check.h"

namespace veska::sim {

struct SimCookieStore::State {
    struct Subscriber {
        std::size_t id;
        rt::Executor* executor;
        std::function<void(const ports::CookieChange&)> onChange;
        std::shared_ptr<bool> active;
    };

    std::vector<ports::WebCookie> cookies;
    std::vector<Subscriber> subscribers;
    std::size_t nextId = 1;

    void notify(const ports::CookieChange& change) {
        for (const auto& subscriber : subscribers) {
            subscriber.executor->post([active = subscriber.active, fn = subscriber.onChange, change] {
                if (*active) fn(change);
            });
        }
    }

    bool remove(const ports::WebCookie& cookie) {
        auto it = std::find_if(cookies.begin(), cookies.end(),
                               [&](const ports::WebCookie& held) { return held.sameCookie(cookie); });
        if (it == cookies.end()) return false;
        ports::WebCookie gone = *it;
        cookies.erase(it);
        notify({std::move(gone), true});
        return true;
    }

    bool set(ports::WebCookie cookie, double wallNow) {
        if (!ports::isStorableCookie(cookie)) return false;
        if (cookie.expires && *cookie.expires <= wallNow) {
            remove(cookie);
            return true;
        }
        auto it = std::find_if(cookies.begin(), cookies.end(),
                               [&](const ports::WebCookie& held) { return held.sameCookie(cookie); });
        if (it != cookies.end()) {
            *it = cookie;
        } else {
            cookies.push_back(cookie);
        }
        notify({std::move(cookie), false});
        return true;
    }
};

SimCookieStore::SimCookieStore(rt::Executor& clock) : clock_(clock), state_(std::make_shared<State>()) {}

SimCookieStore::~SimCookieStore() {
    for (auto& subscriber : state_->subscribers) *subscriber.active = false;
}

bool SimCookieStore::setFromPage(ports::WebCookie cookie) { return state_->set(std::move(cookie), clock_.wallNow()); }

void SimCookieStore::deleteFromPage(const ports::WebCookie& cookie) { state_->remove(cookie); }

const std::vector<ports::WebCookie>& SimCookieStore::cookies() const { return state_->cookies; }

rt::Task<std::vector<ports::WebCookie>> SimCookieStore::all() { co_return state_->cookies; }

rt::Task<bool> SimCookieStore::set(ports::WebCookie cookie) { co_return state_->set(std::move(cookie), clock_.wallNow()); }

rt::Task<void> SimCookieStore::deleteCookie(ports::WebCookie cookie) {
    state_->remove(cookie);
    co_return;
}

ports::Subscription SimCookieStore::subscribe(std::function<void(const ports::CookieChange&)> onChange) {
    rt::Executor* executor = rt::Executor::current();
    VESKA_CHECK(executor != nullptr, "subscribe from a task or callback on an executor");
    const std::size_t id = state_->nextId++;
    auto active = std::make_shared<bool>(true);
    state_->subscribers.push_back(State::Subscriber{id, executor, std::move(onChange), active});
    std::weak_ptr<State> weak = state_;
    return ports::Subscription([weak, id, active] {
        *active = false;
        if (auto state = weak.lock()) {
            std::erase_if(state->subscribers, [id](const State::Subscriber& s) { return s.id == id; });
        }
    });
}

}  // namespace veska::sim
