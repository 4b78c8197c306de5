// The logind idle inhibitor: Inhibit calls on a worker thread, locks closed with the activity.
#include "platform/linux/inhibit/LogindInhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>

namespace veska::platform {

namespace {

/// A logind that does not answer within this is treated as unreachable.
constexpr std::uint64_t kCallTimeoutMicroseconds = 2'000'000;

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;

Bus openBus(const std::optional<std::string>& address) {
    sd_bus* bus = nullptr;
    if (!address) {
        if (sd_bus_open_system(&bus) < 0) return nullptr;
        return Bus(bus);
    }
    if (sd_bus_new(&bus) < 0) return nullptr;
    Bus owned(bus);
    if (sd_bus_set_address(bus, address->c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        return nullptr;
    }
    return owned;
}

}  // namespace

struct LogindInhibitor::Hold {
    std::mutex mutex;
    int fd = -1;
    bool ended = false;

    /// The worker's result: kept, or closed at once when the activity already ended.
    void settle(int lock) {
        std::lock_guard guard(mutex);
        if (ended) {
            if (lock >= 0) ::close(lock);
            return;
        }
        fd = lock;
    }
    void end() {
        std::lock_guard guard(mutex);
        ended = true;
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

namespace {

class InhibitedActivity final : public ports::Activity {
public:
    explicit InhibitedActivity(std::shared_ptr<LogindInhibitor::Hold> hold) : hold_(std::move(hold)) {}
    ~InhibitedActivity() override { hold_->end(); }
    InhibitedActivity(const InhibitedActivity&) = delete;
    InhibitedActivity& operator=(const InhibitedActivity&) = delete;

private:
    std::shared_ptr<LogindInhibitor::Hold> hold_;
};

}  // namespace

LogindInhibitor::LogindInhibitor(std::optional<std::string> busAddress, std::string who)
    : busAddress_(std::move(busAddress)), who_(std::move(who)), worker_([this] { run(); }) {}

LogindInhibitor::~LogindInhibitor() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::unique_ptr<ports::Activity> LogindInhibitor::begin(const std::string& reason) {
    auto hold = std::make_shared<Hold>();
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Request{hold, reason});
    }
    wake_.notify_one();
    return std::make_unique<InhibitedActivity>(std::move(hold));
}

bool LogindInhibitor::settle(double seconds) {
    std::unique_lock lock(mutex_);
    return settled_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return queue_.empty() && !busy_; });
}

void LogindInhibitor::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (closing_) return;
        Request request = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        bool wanted = true;
        {
            std::lock_guard guard(request.hold->mutex);
            wanted = !request.hold->ended;
        }
        request.hold->settle(wanted ? inhibit(request.reason) : -1);
        lock.lock();
        busy_ = false;
        settled_.notify_all();
    }
}

int LogindInhibitor::inhibit(const std::string& reason) {
    Bus bus = openBus(busAddress_);
    if (!bus) return -1;
    sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutMicroseconds);
    sd_bus_error error{nullptr, nullptr, 0};
    sd_bus_message* reply = nullptr;
    const int called = sd_bus_call_method(bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                                          "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss", "idle",
                                          who_.c_str(), reason.c_str(), "block");
    sd_bus_error_free(&error);
    if (called < 0) return -1;
    int fd = -1;
    int lock = -1;
    if (sd_bus_message_read(reply, "h", &fd) >= 0 && fd >= 0) lock = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    sd_bus_message_unref(reply);
    return lock;
}

}  // namespace veska::platform
