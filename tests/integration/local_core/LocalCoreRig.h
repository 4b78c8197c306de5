// What the local core's end-to-end tests share: real time, the processes they must end, a
// private home for the core, and loopback ports.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "contract/ContractEnv.h"
#include "core/app/LocalCoreService.h"
#include "integration/linux_recorder/RealTimeLoop.h"
#include "platform/linux/PosixLocalMachine.h"
#include "platform/linux/ProcessEnvironment.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "platform/linux/process/PosixProcesses.h"
#include "platform/sim/SimPreferences.h"
#include "runtime/Sleep.h"
#include "support/TempDir.h"

namespace veska::testing {

/// A contract env pumped on the steady clock: real processes need real time.
class RealTimeEnv final : public contract::ContractEnv {
public:
    rt::Executor& executor() override { return loop; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override { return loop.runUntil(done, maxSeconds); }
    void advance(double seconds) override { loop.advance(seconds); }
    RealTimeLoop loop;
};

/// Ends the processes a test started and the variables it set, however the test ends. The
/// cores started by the product are detached and never stopped by it, so the test must.
class Reaper {
public:
    Reaper() : home_(::getenv("HOME") ? ::getenv("HOME") : "") {}
    Reaper(const Reaper&) = delete;
    Reaper& operator=(const Reaper&) = delete;
    ~Reaper() {
        for (int pid : pids_) ::kill(pid, SIGTERM);
        // The next test may want their ports: wait until they are gone (their launcher reaps
        // them), a few seconds at most.
        for (int pid : pids_) {
            for (int i = 0; i < 300 && ::kill(pid, 0) == 0; ++i) ::usleep(10'000);
        }
        for (const char* name : {"LOCAL_CORE_TOKEN", "VESKA_CHATGPT_URL"}) ::unsetenv(name);
        ::setenv("HOME", home_.c_str(), 1);
    }
    void add(int pid) { pids_.push_back(pid); }

private:
    std::string home_;
    std::vector<int> pids_;
};

/// A loopback port nobody listens on now, away from the cores' range.
inline int unusedPort(platform::PosixLocalMachine& machine) {
    for (int port = 20000 + (::getpid() % 20000);; ++port) {
        if (machine.loopbackPortAnswers(port) == false) return port;
    }
}

/// Waits (in real time, on the env's loop) until something answers on `port`.
inline rt::Task<bool> waitForPort(platform::PosixLocalMachine* machine, int port, bool answering = true) {
    for (int i = 0; i < 200; ++i) {
        if (machine->loopbackPortAnswers(port) == answering) co_return true;
        co_await rt::sleepFor(0.05);
    }
    co_return false;
}

/// A socket listening on 127.0.0.1:`port` that never accepts: connecting succeeds (the
/// kernel completes the handshake), so the port counts as taken.
class BusyPort {
public:
    explicit BusyPort(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Connections of an earlier test left in TIME_WAIT do not hold the port.
        const int on = 1;
        if (fd_ >= 0) ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                 ::listen(fd_, 64) == 0;
    }
    ~BusyPort() {
        if (fd_ >= 0) ::close(fd_);
    }
    BusyPort(const BusyPort&) = delete;
    BusyPort& operator=(const BusyPort&) = delete;
    /// False when another process holds the port already (it is busy all the same).
    [[nodiscard]] bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

/// The application's side of a core found in this checkout: a bundle whose "repo-root.txt"
/// names the checkout (unless `repoRoot` is false: an empty bundle), a private home (set as
/// HOME, which the core inherits) and the real adapters. `service` starts out pointed at
/// `baseURL`.
struct CoreRig {
    explicit CoreRig(const std::string& baseURL, const std::string& token = "", bool repoRoot = true) {
        std::filesystem::create_directories(bundle.path() / "Resources");
        if (repoRoot) bundle.write("Resources/repo-root.txt", std::string(VESKA_SOURCE_DIR) + "\n");
        ::setenv("HOME", home.path().c_str(), 1);
        if (!token.empty()) ::setenv("LOCAL_CORE_TOKEN", token.c_str(), 1);
        service = std::make_unique<LocalCoreService>(
            http, baseURL, token, prefs,
            V2Config::LaunchHost{V2Config::Bundle{(bundle.path() / "Resources").string()}, &environment, &machine,
                                 &processes});
    }
    /// Runs `ensureCore` and reaps the process it started, if any.
    void ensureCore() {
        contract::runTask(env, service->ensureCore(), 20);
        if (service->coreProcess() != nullptr) reaper.add(service->coreProcess()->pid());
    }

    Reaper reaper;
    TempDir home;
    TempDir bundle;
    platform::PosixLocalMachine machine;
    platform::PosixProcesses processes;
    platform::ProcessEnvironment environment;
    platform::CurlHttpClient http;
    sim::SimPreferences prefs;
    RealTimeEnv env;
    std::unique_ptr<LocalCoreService> service;
};

}  // namespace veska::testing
