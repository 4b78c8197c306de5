// The X thread of the key source: raw key events, passive grabs, and the frozen keyboard.
#include "platform/linux/x11/X11KeyWatcher.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <deque>
#include <future>
#include <set>
#include <string_view>

#include "platform/linux/x11/KeyMapping.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11Windows.h"

namespace veska::platform {

namespace {

using ports::KeyEvent;
using ports::KeyEventKind;
using ports::KeyFlags;

/// Keys the logic has no virtual code for still count as "another key": they get a code
/// above every real one.
constexpr ports::KeyCode kUnmappedKeyBase = 0x10000;

/// A declared grab before the lock-key variants are added.
struct Grab {
    KeyCode keycode = 0;
    unsigned int modifiers = 0;  // AnyModifier for "under any modifiers"
    friend bool operator==(const Grab&, const Grab&) = default;
};

struct Claim {
    std::vector<ports::SwallowableKey> keys;
    std::promise<bool> done;
};

}  // namespace

struct X11KeyWatcher::State {
    X11KeySourceOptions options;
    Deliver deliver;
    std::unique_ptr<X11Connection> x;
    int xiOpcode = 0;
    std::set<int> xtestDevices;
    KeyCode fnKeycode = 0;
    unsigned int altMask = 0, superMask = 0, numLockMask = 0;
    std::array<unsigned int, 256> modifierMaskOf{};

    int wakeRead = -1, wakeWrite = -1;
    std::atomic<bool> stopping{false};
    std::mutex mutex;  // guards claims, verdict and verdictId
    std::deque<Claim> claims;
    std::deque<std::function<void()>> barriers;
    bool finished = false;  // the thread ended: claims are refused at once
    std::optional<ports::TapVerdict> verdict;
    std::uint64_t verdictId = 0;

    std::set<KeyCode> down;
    std::vector<Grab> grabs;
    /// Grabbed presses the tap let through: their releases come as raw events.
    std::set<KeyCode> replayed;
    /// Grabbed presses the tap swallowed, whose grab was given back: their releases come as raw
    /// events too.
    std::set<KeyCode> ungrabbed;

    ~State() {
        if (wakeRead >= 0) ::close(wakeRead);
        if (wakeWrite >= 0) ::close(wakeWrite);
    }

    void wake() const {
        const char byte = 1;
        (void)!::write(wakeWrite, &byte, 1);
    }
    void drainWake() const {
        std::array<char, 64> bytes{};
        while (::read(wakeRead, bytes.data(), bytes.size()) > 0) {
        }
    }

    bool setUp();
    void readModifierMap();
    void run();
    void watch();
    void serveClaims();
    void serveBarriers();
    bool applyClaim(const std::vector<ports::SwallowableKey>& keys);
    void handle(XEvent& event);
    void handleRaw(const XIRawEvent& raw, bool press);
    void handleGrabbed(const XKeyEvent& key, bool press);
    [[nodiscard]] std::optional<KeyEvent> normalise(KeyCode keycode, bool press, bool repeat);
    [[nodiscard]] unsigned int currentModifierMask() const;
    [[nodiscard]] bool grabCatches(KeyCode keycode) const;
    [[nodiscard]] bool toOwnWindow();
    ports::TapVerdict awaitVerdict(WatchedKey key);
    /// Ends the keyboard grab a swallowed press of `keycode` activated, so the focused window
    /// keeps its focus and gets the keys Veska posts while the key is held.
    void giveKeyboardBack(KeyCode keycode);
};

bool X11KeyWatcher::State::setUp() {
    x = X11Connection::open(options.display);
    if (!x) return false;
    Display* d = x->display();
    int event = 0, error = 0;
    if (!XQueryExtension(d, "XInputExtension", &xiOpcode, &event, &error)) return false;
    int major = 2, minor = 2;
    if (XIQueryVersion(d, &major, &minor) != Success || major < 2 || (major == 2 && minor < 2)) return false;

    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
    XISetMask(bits.data(), XI_RawKeyPress);
    XISetMask(bits.data(), XI_RawKeyRelease);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
    if (XISelectEvents(d, x->root(), &mask, 1) != Success) return false;

    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(d, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        if (devices[i].use == XISlaveKeyboard && std::strstr(devices[i].name, "XTEST") != nullptr) {
            xtestDevices.insert(devices[i].deviceid);
        }
    }
    XIFreeDeviceInfo(devices);

    Bool supported = False;
    XkbSetDetectableAutoRepeat(d, True, &supported);  // held keys repeat without fake releases
    const KeySym fn = XStringToKeysym(options.fnKeysym.c_str());
    if (fn != NoSymbol) fnKeycode = XKeysymToKeycode(d, fn);
    readModifierMap();

    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    wakeRead = fds[0];
    wakeWrite = fds[1];
    XFlush(d);
    return true;
}

void X11KeyWatcher::State::readModifierMap() {
    XModifierKeymap* map = XGetModifierMapping(x->display());
    if (map == nullptr) return;
    for (int row = 0; row < 8; ++row) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[row * map->max_keypermod + i];
            if (code == 0) continue;
            const unsigned int bit = 1U << row;
            modifierMaskOf[code] |= bit;
            const KeySym keysym = XkbKeycodeToKeysym(x->display(), code, 0, 0);
            if (keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L || keysym == XK_Meta_R) altMask |= bit;
            if (keysym == XK_Super_L || keysym == XK_Super_R) superMask |= bit;
            if (keysym == XK_Num_Lock) numLockMask |= bit;
        }
    }
    XFreeModifiermap(map);
}

void X11KeyWatcher::State::run() {
    watch();
    std::lock_guard lock(mutex);
    finished = true;
    for (Claim& claim : claims) claim.done.set_value(false);
    claims.clear();
}

void X11KeyWatcher::State::watch() {
    Display* d = x->display();
    const int xfd = ConnectionNumber(d);
    while (!stopping) {
        serveClaims();
        serveBarriers();
        while (!stopping && XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            handle(event);
            serveClaims();
        }
        XFlush(d);
        std::array<pollfd, 2> fds{{{xfd, POLLIN, 0}, {wakeRead, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
        if (fds[0].revents & (POLLERR | POLLHUP)) return;  // the server went away
        drainWake();
    }
}

void X11KeyWatcher::State::serveClaims() {
    for (;;) {
        Claim claim;
        {
            std::lock_guard lock(mutex);
            if (claims.empty()) return;
            claim = std::move(claims.front());
            claims.pop_front();
        }
        claim.done.set_value(applyClaim(claim.keys));
    }
}

void X11KeyWatcher::State::serveBarriers() {
    std::deque<std::function<void()>> due;
    {
        std::lock_guard lock(mutex);
        due.swap(barriers);
    }
    if (due.empty()) return;
    Display* d = x->display();
    XSync(d, False);  // every event sent to us before now is in the queue
    while (!stopping && XQLength(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        handle(event);
        serveClaims();
    }
    for (auto& then : due) then();
}

bool X11KeyWatcher::State::applyClaim(const std::vector<ports::SwallowableKey>& keys) {
    Display* d = x->display();
    std::vector<Grab> wanted;
    bool complete = true;
    for (const ports::SwallowableKey& key : keys) {
        KeyCode keycode = 0;
        if (key.keyCode == ports::keys::kFn) {
            keycode = fnKeycode;
        } else if (const auto keysym = postedKeysym(key.keyCode)) {
            keycode = XKeysymToKeycode(d, *keysym);
        }
        if (keycode == 0) {
            complete = false;
            continue;
        }
        if (key.modifiers.empty()) wanted.push_back({keycode, AnyModifier});
        for (KeyFlags flags : key.modifiers) {
            unsigned int mask = 0;
            if (flags & ports::flags::kShift) mask |= ShiftMask;
            if (flags & ports::flags::kControl) mask |= ControlMask;
            if (flags & ports::flags::kOption) mask |= altMask;
            if (flags & ports::flags::kCommand) mask |= superMask;
            const bool unavailable = ((flags & ports::flags::kOption) && altMask == 0) ||
                                     ((flags & ports::flags::kCommand) && superMask == 0);
            if (unavailable) {
                complete = false;
                continue;
            }
            wanted.push_back({keycode, mask});
        }
    }
    std::vector<unsigned int> lockVariants{0, LockMask};
    if (numLockMask != 0) {
        lockVariants.push_back(numLockMask);
        lockVariants.push_back(numLockMask | LockMask);
    }
    auto each = [&](const Grab& grab, auto&& fn) {
        if (grab.modifiers == AnyModifier) {
            fn(grab.modifiers);
            return;
        }
        for (unsigned int lock : lockVariants) fn(grab.modifiers | lock);
    };
    for (const Grab& grab : grabs) {
        each(grab, [&](unsigned int mods) { XUngrabKey(d, grab.keycode, mods, x->root()); });
    }
    grabs.clear();
    for (const Grab& grab : wanted) {
        if (std::find(grabs.begin(), grabs.end(), grab) != grabs.end()) continue;
        const int error = x->trapped([&] {
            each(grab, [&](unsigned int mods) {
                XGrabKey(d, grab.keycode, mods, x->root(), False, GrabModeAsync, GrabModeSync);
            });
        });
        if (error != 0) {
            each(grab, [&](unsigned int mods) { XUngrabKey(d, grab.keycode, mods, x->root()); });
            complete = false;
            continue;
        }
        grabs.push_back(grab);
    }
    XFlush(d);
    return complete;
}

void X11KeyWatcher::State::handle(XEvent& event) {
    if (event.type == KeyPress || event.type == KeyRelease) {
        handleGrabbed(event.xkey, event.type == KeyPress);
        return;
    }
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    if (event.type != GenericEvent || event.xcookie.extension != xiOpcode) return;
    if (!XGetEventData(x->display(), &event.xcookie)) return;
    const int type = event.xcookie.evtype;
    if (type == XI_RawKeyPress || type == XI_RawKeyRelease) {
        handleRaw(*static_cast<const XIRawEvent*>(event.xcookie.data), type == XI_RawKeyPress);
    }
    XFreeEventData(x->display(), &event.xcookie);
}

unsigned int X11KeyWatcher::State::currentModifierMask() const {
    unsigned int mask = 0;
    for (KeyCode code : down) mask |= modifierMaskOf[code];
    return mask;
}

bool X11KeyWatcher::State::grabCatches(KeyCode keycode) const {
    const unsigned int mods = currentModifierMask() & ~(LockMask | numLockMask);
    return std::any_of(grabs.begin(), grabs.end(), [&](const Grab& grab) {
        return grab.keycode == keycode && (grab.modifiers == AnyModifier || grab.modifiers == mods);
    });
}

void X11KeyWatcher::State::handleRaw(const XIRawEvent& raw, bool press) {
    const auto keycode = static_cast<KeyCode>(raw.detail);
    if (press && !down.contains(keycode) && grabCatches(keycode)) return;  // the grab reports it
    if (!press && down.contains(keycode) && !replayed.contains(keycode) && !ungrabbed.contains(keycode) &&
        grabCatches(keycode)) {
        return;
    }
    const bool repeat = press && ((raw.flags & XIKeyRepeat) != 0 || down.contains(keycode));
    std::optional<KeyEvent> event = normalise(keycode, press, repeat);
    if (!event) return;
    if (xtestDevices.contains(raw.sourceid) && options.ledger && options.ledger->claim()) {
        event->sourcePid = options.ownPid;
    }
    deliver(WatchedKey{*event, toOwnWindow(), false, false}, [](ports::TapVerdict) {});
}

void X11KeyWatcher::State::handleGrabbed(const XKeyEvent& key, bool press) {
    const auto keycode = static_cast<KeyCode>(key.keycode);
    Display* d = x->display();
    if (!press) {
        if (replayed.contains(keycode)) return;  // its release comes as a raw event
        if (std::optional<KeyEvent> event = normalise(keycode, false, false)) {
            deliver(WatchedKey{*event, toOwnWindow(), true, false}, [](ports::TapVerdict) {});
        }
        return;
    }
    const bool repeat = down.contains(keycode);
    std::optional<KeyEvent> event = normalise(keycode, true, repeat);
    if (!event || repeat) {
        if (repeat && replayed.contains(keycode)) {
            XAllowEvents(d, ReplayKeyboard, CurrentTime);  // a key let through keeps its repeats
        } else {
            XAllowEvents(d, AsyncKeyboard, CurrentTime);
            // An auto-repeat of a held key activates the passive grab again: give it back.
            if (repeat) {
                if (event) deliver(WatchedKey{*event, toOwnWindow(), true, false}, [](ports::TapVerdict) {});
                giveKeyboardBack(keycode);
                XFlush(d);
                return;
            }
        }
        if (event) deliver(WatchedKey{*event, toOwnWindow(), true, false}, [](ports::TapVerdict) {});
        XFlush(d);
        return;
    }
    const ports::TapVerdict answer = awaitVerdict(WatchedKey{*event, toOwnWindow(), true, true});
    if (answer == ports::TapVerdict::swallow) {
        // The press is dropped, but the grab it activated would hold the whole keyboard until the
        // release: the focused window would lose its focus and Veska's own keys (live typing
        // while fn is held) would come back to Veska. Give the keyboard back while the key is
        // held; its release then reaches the focused window as a lone release.
        XAllowEvents(d, AsyncKeyboard, CurrentTime);
        giveKeyboardBack(keycode);
    } else {
        replayed.insert(keycode);
        XAllowEvents(d, ReplayKeyboard, CurrentTime);
    }
    XFlush(d);
}

void X11KeyWatcher::State::giveKeyboardBack(KeyCode keycode) {
    Display* d = x->display();
    // The keyboard was thawed just before: a release that came during the grab has been served
    // to Veska (its core release follows), and the grab ended with it. Only a key still held
    // keeps the keyboard grabbed.
    char keymap[32] = {};
    XQueryKeymap(d, keymap);
    const bool stillDown = (static_cast<unsigned char>(keymap[keycode / 8]) & (1U << (keycode % 8))) != 0;
    if (!stillDown) return;
    XUngrabKeyboard(d, CurrentTime);
    // Its release now goes to the focused window; Veska sees it as a raw event (or, when it
    // came just before the grab ended, as a core release: whichever comes first counts).
    ungrabbed.insert(keycode);
}

ports::TapVerdict X11KeyWatcher::State::awaitVerdict(WatchedKey key) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex);
        id = ++verdictId;
        verdict.reset();
    }
    deliver(std::move(key), [this, id](ports::TapVerdict answer) {
        {
            std::lock_guard lock(mutex);
            if (id != verdictId || verdict) return;
            verdict = answer;
        }
        wake();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.verdictTimeoutSeconds);
    while (!stopping) {
        {
            std::lock_guard lock(mutex);
            if (verdict) return *verdict;
        }
        serveClaims();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fd{wakeRead, POLLIN, 0};
        (void)::poll(&fd, 1, static_cast<int>(left.count()) + 1);
        drainWake();
    }
    {
        std::lock_guard lock(mutex);
        ++verdictId;  // a late answer finds another id and is dropped
    }
    KeyEvent notice;
    notice.kind = KeyEventKind::tapDisabledByTimeout;
    deliver(WatchedKey{notice, false, false, false}, [](ports::TapVerdict) {});
    return ports::TapVerdict::pass;
}

std::optional<KeyEvent> X11KeyWatcher::State::normalise(KeyCode keycode, bool press, bool repeat) {
    if (press) {
        down.insert(keycode);
    } else if (down.erase(keycode) == 0) {
        return std::nullopt;  // a release without its press (some senders repeat releases)
    } else {
        replayed.erase(keycode);
        ungrabbed.erase(keycode);
    }
    ports::KeyCode code = kUnmappedKeyBase + keycode;
    if (keycode == fnKeycode && fnKeycode != 0) {
        code = ports::keys::kFn;
    } else if (auto mapped = observedKeyCode(XkbKeycodeToKeysym(x->display(), keycode, 0, 0))) {
        code = *mapped;
    }
    KeyFlags flags = 0;
    for (KeyCode held : down) {
        if (held == fnKeycode && fnKeycode != 0) {
            flags |= ports::flags::kFn;
        } else {
            flags |= modifierFlagOfKeysym(XkbKeycodeToKeysym(x->display(), held, 0, 0));
        }
    }
    KeyEvent event;
    event.keyCode = code;
    event.flags = flags;
    event.autoRepeat = repeat;
    if (ports::modifierFlagOf(code) != 0) {
        if (repeat) return std::nullopt;  // a held modifier changes no flags
        event.kind = KeyEventKind::flagsChanged;
    } else {
        event.kind = press ? KeyEventKind::keyDown : KeyEventKind::keyUp;
    }
    return event;
}

bool X11KeyWatcher::State::toOwnWindow() {
    if (options.ownPid <= 0) return false;
    const std::optional<ClientWindow> active = activeClientWindow(*x);
    return active && active->pid == options.ownPid;
}

X11KeyWatcher::X11KeyWatcher(std::unique_ptr<State> state) : state_(std::move(state)) {
    thread_ = std::thread([s = state_.get()] { s->run(); });
}

std::unique_ptr<X11KeyWatcher> X11KeyWatcher::start(const X11KeySourceOptions& options, Deliver deliver) {
    auto state = std::make_unique<State>();
    state->options = options;
    state->deliver = std::move(deliver);
    if (!state->setUp()) return nullptr;
    return std::unique_ptr<X11KeyWatcher>(new X11KeyWatcher(std::move(state)));
}

X11KeyWatcher::~X11KeyWatcher() {
    state_->stopping = true;
    state_->wake();
    thread_.join();
}

void X11KeyWatcher::afterPendingEvents(std::function<void()> then) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->finished) return;
        state_->barriers.push_back(std::move(then));
    }
    state_->wake();
}

bool X11KeyWatcher::claim(std::vector<ports::SwallowableKey> keys) {
    std::future<bool> done;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->finished) return false;
        state_->claims.push_back(Claim{std::move(keys), {}});
        done = state_->claims.back().done.get_future();
    }
    state_->wake();
    return done.get();
}

}  // namespace veska::platform
