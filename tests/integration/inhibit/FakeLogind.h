// A private D-Bus daemon with a fake systemd-logind that hands out inhibitor locks and notices
// when they are released.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX provides no header

namespace veska::testing {

/// `dbus-daemon` on a socket of a private directory, stopped when destroyed; `address()` is
/// empty when it did not start.
class PrivateBus {
public:
    PrivateBus() {
        const std::string socket = dir_.path().string() + "/bus";
        std::vector<std::string> args{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                      "--address=unix:path=" + socket};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = 0;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (accepts(socket)) {
                address_ = "unix:path=" + socket;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    [[nodiscard]] const std::string& address() const { return address_; }

private:
    static bool accepts(const std::string& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    TempDir dir_;
    pid_t pid_ = 0;
    std::string address_;
};

/// Owns org.freedesktop.login1 on `address` and answers Manager.Inhibit with the write end of
/// a pipe, keeping the read end: the lock is released once every copy of the write end is
/// closed. Serves on a thread of its own.
class FakeLogind {
public:
    struct Call {
        std::string what, who, why, mode;
    };

    explicit FakeLogind(const std::string& address, int replyDelayMs = 0) : delayMs_(replyDelayMs) {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0) return;
        bus_ = bus;
        if (sd_bus_set_address(bus_, address.c_str()) < 0 || sd_bus_set_bus_client(bus_, 1) < 0 ||
            sd_bus_start(bus_) < 0 || sd_bus_request_name(bus_, "org.freedesktop.login1", 0) < 0 ||
            sd_bus_add_object(bus_, nullptr, "/org/freedesktop/login1", &FakeLogind::onMessage, this) < 0) {
            return;
        }
        ready_ = true;
        thread_ = std::thread([this] {
            while (!done_) {
                while (sd_bus_process(bus_, nullptr) > 0) {
                }
                sd_bus_wait(bus_, 20'000);
            }
        });
    }
    ~FakeLogind() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
        for (int fd : locks_) ::close(fd);
    }
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    [[nodiscard]] bool ready() const { return ready_; }
    [[nodiscard]] std::vector<Call> calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    /// Whether lock `index` is still held by someone.
    [[nodiscard]] bool held(std::size_t index) {
        std::lock_guard lock(mutex_);
        if (index >= locks_.size()) return false;
        pollfd watch{locks_[index], POLLIN, 0};
        if (::poll(&watch, 1, 0) <= 0) return true;  // nothing to read and no end: still held
        char byte = 0;
        return ::read(locks_[index], &byte, 1) != 0;
    }

private:
    static int onMessage(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
        auto* fake = static_cast<FakeLogind*>(self);
        if (sd_bus_message_is_method_call(message, "org.freedesktop.login1.Manager", "Inhibit") <= 0) return 0;
        const char* what = nullptr;
        const char* who = nullptr;
        const char* why = nullptr;
        const char* mode = nullptr;
        if (sd_bus_message_read(message, "ssss", &what, &who, &why, &mode) < 0) return 0;
        if (fake->delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(fake->delayMs_));
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return 0;
        {
            std::lock_guard lock(fake->mutex_);
            fake->calls_.push_back(Call{what, who, why, mode});
            fake->locks_.push_back(ends[0]);
        }
        const int replied = sd_bus_reply_method_return(message, "h", ends[1]);
        ::close(ends[1]);
        return replied < 0 ? replied : 1;
    }

    sd_bus* bus_ = nullptr;
    int delayMs_ = 0;
    bool ready_ = false;
    std::atomic<bool> done_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<int> locks_;
};

}  // namespace veska::testing
