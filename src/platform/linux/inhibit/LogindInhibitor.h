// Keeping the session from going idle while Veska reads aloud: a logind idle inhibitor.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ports/ActivityAssertion.h"

namespace veska::platform {

/// Each activity takes an "idle" inhibitor lock of systemd-logind (org.freedesktop.login1
/// Manager.Inhibit, mode "block") with the activity's reason as the why; the lock is the file
/// descriptor logind hands back, held until the activity ends. The D-Bus calls are made on a
/// worker thread of the inhibitor, so `begin` never blocks; where logind cannot be reached (no
/// system bus, no logind on it, a refusal) the activity is silently held without a lock.
class LogindInhibitor final : public ports::ActivityAssertion {
public:
    /// `busAddress`: the D-Bus address where logind is reached; none = the system bus.
    explicit LogindInhibitor(std::optional<std::string> busAddress = std::nullopt, std::string who = "Veska");
    ~LogindInhibitor() override;
    LogindInhibitor(const LogindInhibitor&) = delete;
    LogindInhibitor& operator=(const LogindInhibitor&) = delete;

    [[nodiscard]] std::unique_ptr<ports::Activity> begin(const std::string& reason) override;

    /// Waits until every activity begun so far has its lock or went without; false when that
    /// takes longer than `seconds`.
    bool settle(double seconds);

    /// One lock, shared by the activity and the worker that takes it.
    struct Hold;

private:
    struct Request {
        std::shared_ptr<Hold> hold;
        std::string reason;
    };
    void run();
    /// The lock's file descriptor, or -1 when logind cannot give one.
    int inhibit(const std::string& reason);

    std::optional<std::string> busAddress_;
    std::string who_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable settled_;
    std::deque<Request> queue_;
    bool busy_ = false;
    bool closing_ = false;
    std::thread worker_;
};

}  // namespace veska::platform
