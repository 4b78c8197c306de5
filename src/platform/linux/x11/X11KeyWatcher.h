// The X thread of the key source: raw key events, passive grabs, and the frozen keyboard.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/linux/x11/X11KeyEventSource.h"

namespace veska::platform {

/// One observed key event with what the X side knows about its delivery.
struct WatchedKey {
    ports::KeyEvent event;
    /// The focused window belongs to Veska (the event is for local monitors).
    bool toOwnWindow = false;
    /// The key came through one of our grabs: no application has seen it.
    bool grabbed = false;
    /// The keyboard is frozen until the answer says whether the key goes on.
    bool needsVerdict = false;
};

/// Answers a frozen key; callable once, from any thread.
using VerdictAnswer = std::function<void(ports::TapVerdict)>;

/// Runs the X connection of the key source on a thread of its own. `deliver` is called on that
/// thread for each event; for a frozen key, the thread waits (serving claims meanwhile) until
/// the answer comes or the verdict time-out passes, then lets the keyboard go on.
class X11KeyWatcher {
public:
    using Deliver = std::function<void(WatchedKey key, VerdictAnswer answer)>;

    [[nodiscard]] static std::unique_ptr<X11KeyWatcher> start(const X11KeySourceOptions& options, Deliver deliver);
    ~X11KeyWatcher();
    X11KeyWatcher(const X11KeyWatcher&) = delete;
    X11KeyWatcher& operator=(const X11KeyWatcher&) = delete;

    /// Replaces the claimed keys with `keys`; waits until the X thread has grabbed them. False
    /// when some could not be grabbed (another client holds them, or the key is not on the
    /// keyboard); the others are grabbed all the same.
    bool claim(std::vector<ports::SwallowableKey> keys);
    /// Calls `then` on the X thread once every event the server had queued for this
    /// connection when the call was made has been delivered (a barrier for tests and for
    /// orderly shutdown). Never called when the thread has ended.
    void afterPendingEvents(std::function<void()> then);

    struct State;

private:
    explicit X11KeyWatcher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
    std::thread thread_;
};

}  // namespace veska::platform
