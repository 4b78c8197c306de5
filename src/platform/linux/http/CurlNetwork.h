// The network thread of the libcurl client: one multi handle, its transfers and their limits.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/http/CurlExchange.h"
#include "platform/linux/http/CurlHttpClient.h"

namespace veska::platform {

/// Owns the thread that runs every transfer of one `CurlHttpClient`. Other threads only queue
/// commands (start, cancel, resume) and wake the thread; libcurl is touched on it alone. Kept
/// alive by the client and by the abort and resume hooks of its transfers, which do nothing
/// once it has stopped.
class CurlNetwork : public std::enable_shared_from_this<CurlNetwork> {
public:
    static std::shared_ptr<CurlNetwork> create(CurlHttpOptions options);
    ~CurlNetwork();
    CurlNetwork(const CurlNetwork&) = delete;
    CurlNetwork& operator=(const CurlNetwork&) = delete;

    /// Queues a transfer (any thread).
    void begin(ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer);
    /// Ends the thread; transfers still running fail with a network failure.
    void stop();
    [[nodiscard]] std::size_t activeTransfers() const { return active_.load(); }

private:
    explicit CurlNetwork(CurlHttpOptions options);

    struct Command {
        enum class Kind { start, cancel, resume };
        Kind kind = Kind::start;
        std::uint64_t id = 0;
        std::unique_ptr<CurlExchange> exchange;
    };

    void queue(Command command);
    void run();
    void runCommands();
    void add(std::unique_ptr<CurlExchange> exchange);
    void remove(std::uint64_t id);
    void collectFinished();
    void enforceLimits();
    /// Milliseconds to wait for sockets before the next limit or libcurl timer is due.
    int waitMilliseconds();

    CurlHttpOptions options_;
    /// Made by the network thread when it starts (libcurl's global set-up, the TLS library's
    /// included, takes tens of milliseconds: not on the creator's thread). Read by other threads
    /// only under the mutex.
    CURLM* multi_ = nullptr;
    std::map<std::uint64_t, std::unique_ptr<CurlExchange>> live_;
    std::atomic<std::size_t> active_{0};

    mutable std::mutex mutex_;  // guards the fields below
    std::vector<Command> commands_;
    std::uint64_t nextId_ = 1;
    bool stopping_ = false;
    /// libcurl could not be set up: every transfer fails as a network failure.
    bool broken_ = false;
    std::thread thread_;
};

}  // namespace veska::platform
