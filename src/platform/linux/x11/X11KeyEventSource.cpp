// The desktop's keyboard on X11: XInput2 raw events to observe, passive grabs to swallow.
#include "platform/linux/x11/X11KeyEventSource.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/linux/x11/X11KeyWatcher.h"

namespace veska::platform {

namespace {

using ports::KeyEvent;
using ports::KeyEventKind;
using ports::TapVerdict;

bool isNotice(KeyEventKind kind) {
    return kind == KeyEventKind::tapDisabledByTimeout || kind == KeyEventKind::tapDisabledByUserInput;
}

}  // namespace

/// The main-executor side: taps (newest first) and monitors. Touched only on the main
/// executor, except `watcher`, whose claims may be made from there too.
struct X11KeyEventSource::Core : std::enable_shared_from_this<X11KeyEventSource::Core> {
    struct TapEntry {
        int id = 0;
        ports::TapRequest request;
        ports::TapHandler handler;
        bool enabled = true;
        std::vector<ports::SwallowableKey> swallowable;
    };
    struct MonitorEntry {
        int id = 0;
        bool local = false;
        ports::KeyEventMask mask;
        ports::MonitorHandler handler;
    };

    explicit Core(rt::Executor& mainExecutor) : main(mainExecutor) {}

    rt::Executor& main;
    std::unique_ptr<X11KeyWatcher> watcher;
    std::vector<TapEntry> taps;
    std::vector<MonitorEntry> monitors;
    int nextId = 1;

    TapEntry* tap(int id) {
        auto it = std::find_if(taps.begin(), taps.end(), [&](const TapEntry& t) { return t.id == id; });
        return it == taps.end() ? nullptr : &*it;
    }

    /// Grabs the keys every enabled swallowing tap declared.
    bool reclaim() {
        std::vector<ports::SwallowableKey> keys;
        for (const TapEntry& t : taps) {
            if (!t.enabled || t.request.options != ports::TapOptions::defaultTap) continue;
            keys.insert(keys.end(), t.swallowable.begin(), t.swallowable.end());
        }
        // A tap made and dropped to probe the permission changes nothing: the grabs stand, and
        // the watcher thread and the server are left alone.
        if (claimed && sameKeys(*claimed, keys)) return true;
        claimed.reset();
        if (!watcher->claim(keys)) return false;
        claimed = std::move(keys);
        return true;
    }

    static bool sameKeys(const std::vector<ports::SwallowableKey>& a, const std::vector<ports::SwallowableKey>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
            return x.keyCode == y.keyCode && x.modifiers == y.modifiers;
        });
    }

    /// The keys the watcher holds after the last claim that succeeded.
    std::optional<std::vector<ports::SwallowableKey>> claimed;

    void dispatch(const WatchedKey& key, const VerdictAnswer& answer) {
        if (isNotice(key.event.kind)) {
            disableTaps(key.event);
            return;
        }
        bool swallowed = false;
        // A handler may create or drop taps: walk a snapshot of the ids.
        std::vector<int> ids;
        for (const TapEntry& t : taps) ids.push_back(t.id);
        for (int id : ids) {
            TapEntry* t = tap(id);
            if (t == nullptr || !t->enabled || !t->request.mask.includes(key.event.kind)) continue;
            const ports::TapHandler handler = t->handler;
            const bool canSwallow = t->request.options == ports::TapOptions::defaultTap;
            const TapVerdict verdict = handler(key.event);
            if (verdict == TapVerdict::swallow && canSwallow && key.grabbed) {
                swallowed = true;
                break;
            }
        }
        if (key.needsVerdict) answer(swallowed ? TapVerdict::swallow : TapVerdict::pass);
        if (swallowed) return;
        std::vector<ports::MonitorHandler> handlers;
        for (const MonitorEntry& m : monitors) {
            if (m.local == key.toOwnWindow && m.mask.includes(key.event.kind)) handlers.push_back(m.handler);
        }
        for (const auto& handler : handlers) handler(key.event);
    }

    /// A frozen key waited too long: the swallowing taps are switched off, as a slow tap is,
    /// and told so; their owner switches them on again.
    void disableTaps(const KeyEvent& notice) {
        std::vector<ports::TapHandler> told;
        for (TapEntry& t : taps) {
            if (!t.enabled || t.request.options != ports::TapOptions::defaultTap) continue;
            t.enabled = false;
            told.push_back(t.handler);
        }
        (void)reclaim();
        for (const auto& handler : told) (void)handler(notice);
    }
};

namespace {

class X11KeyTap : public ports::KeyTap {
public:
    X11KeyTap(std::shared_ptr<X11KeyEventSource::Core> core, int id) : core_(std::move(core)), id_(id) {}
    ~X11KeyTap() override {
        auto& taps = core_->taps;
        taps.erase(std::remove_if(taps.begin(), taps.end(), [&](const auto& t) { return t.id == id_; }), taps.end());
        (void)core_->reclaim();
    }

    [[nodiscard]] bool canSwallow() const override {
        const auto* t = core_->tap(id_);
        return t != nullptr && t->request.options == ports::TapOptions::defaultTap;
    }
    [[nodiscard]] bool isEnabled() const override {
        const auto* t = core_->tap(id_);
        return t != nullptr && t->enabled;
    }
    void setEnabled(bool enabled) override {
        auto* t = core_->tap(id_);
        if (t == nullptr || t->enabled == enabled) return;
        t->enabled = enabled;
        (void)core_->reclaim();
    }
    bool setSwallowable(std::vector<ports::SwallowableKey> keys) override {
        auto* t = core_->tap(id_);
        if (t == nullptr) return false;
        t->swallowable = std::move(keys);
        if (!t->enabled || t->request.options != ports::TapOptions::defaultTap) return true;
        return core_->reclaim();
    }

private:
    std::shared_ptr<X11KeyEventSource::Core> core_;
    int id_;
};

class X11KeyMonitor : public ports::KeyMonitor {
public:
    X11KeyMonitor(std::shared_ptr<X11KeyEventSource::Core> core, int id) : core_(std::move(core)), id_(id) {}
    ~X11KeyMonitor() override {
        auto& monitors = core_->monitors;
        monitors.erase(std::remove_if(monitors.begin(), monitors.end(), [&](const auto& m) { return m.id == id_; }),
                       monitors.end());
    }

private:
    std::shared_ptr<X11KeyEventSource::Core> core_;
    int id_;
};

}  // namespace

std::unique_ptr<X11KeyEventSource> X11KeyEventSource::open(rt::Executor& main, X11KeySourceOptions options) {
    auto core = std::make_shared<Core>(main);
    std::weak_ptr<Core> weak = core;
    rt::Executor* executor = &main;
    core->watcher = X11KeyWatcher::start(options, [weak, executor](WatchedKey key, VerdictAnswer answer) {
        executor->post([weak, key = std::move(key), answer = std::move(answer)] {
            if (auto core = weak.lock()) {
                core->dispatch(key, answer);
            } else if (key.needsVerdict) {
                answer(TapVerdict::pass);
            }
        });
    });
    if (!core->watcher) return nullptr;
    return std::unique_ptr<X11KeyEventSource>(new X11KeyEventSource(std::move(core)));
}

X11KeyEventSource::~X11KeyEventSource() = default;

void X11KeyEventSource::afterPendingEvents(std::function<void()> then) {
    rt::Executor* main = &core_->main;
    core_->watcher->afterPendingEvents([main, then = std::move(then)] { main->post(then); });
}

std::unique_ptr<ports::KeyTap> X11KeyEventSource::createTap(ports::TapRequest request, ports::TapHandler handler) {
    const int id = core_->nextId++;
    core_->taps.insert(core_->taps.begin(), Core::TapEntry{id, request, std::move(handler), true, {}});
    return std::make_unique<X11KeyTap>(core_, id);
}

std::unique_ptr<ports::KeyMonitor> X11KeyEventSource::addGlobalMonitor(ports::KeyEventMask mask,
                                                                       ports::MonitorHandler handler) {
    const int id = core_->nextId++;
    core_->monitors.push_back(Core::MonitorEntry{id, false, mask, std::move(handler)});
    return std::make_unique<X11KeyMonitor>(core_, id);
}

std::unique_ptr<ports::KeyMonitor> X11KeyEventSource::addLocalMonitor(ports::KeyEventMask mask,
                                                                      ports::MonitorHandler handler) {
    const int id = core_->nextId++;
    core_->monitors.push_back(Core::MonitorEntry{id, true, mask, std::move(handler)});
    return std::make_unique<X11KeyMonitor>(core_, id);
}

}  // namespace veska::platform
