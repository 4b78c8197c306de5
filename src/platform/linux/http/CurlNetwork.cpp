// The network thread: commands in, libcurl's multi loop, limits, failures out.
#include "platform/linux/http/CurlNetwork.h"

#include <algorithm>
#include <mutex>

namespace veska::platform {

namespace {

/// Longest wait for sockets while transfers run and nothing else is due; commands wake the
/// thread earlier.
constexpr int kMaxWaitMilliseconds = 1000;
/// The wait while no transfer runs and libcurl has nothing due: the thread sleeps until a
/// command wakes it (an idle app must not wake every second for nothing).
constexpr int kIdleWaitMilliseconds = 24 * 60 * 60 * 1000;

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::shared_ptr<CurlNetwork> CurlNetwork::create(CurlHttpOptions options) {
    std::shared_ptr<CurlNetwork> network(new CurlNetwork(std::move(options)));
    network->thread_ = std::thread([raw = network.get()] { raw->run(); });
    return network;
}

CurlNetwork::CurlNetwork(CurlHttpOptions options) : options_(std::move(options)) {}

CurlNetwork::~CurlNetwork() {
    stop();
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
}

void CurlNetwork::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && !thread_.joinable()) return;
        stopping_ = true;
        if (multi_ != nullptr) curl_multi_wakeup(multi_);
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void CurlNetwork::queue(Command command) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    commands_.push_back(std::move(command));
    // Before the thread has set libcurl up, it finds the command when it starts its loop.
    if (multi_ != nullptr) curl_multi_wakeup(multi_);
}

void CurlNetwork::begin(ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || broken_) {
            transfer->deliverError(ports::HttpErrorKind::network);
            return;
        }
        id = nextId_++;
    }
    std::weak_ptr<CurlNetwork> weak = weak_from_this();
    transfer->onAbort([weak, id] {
        if (auto network = weak.lock()) network->queue(Command{Command::Kind::cancel, id, nullptr});
    });
    transfer->onDrained([weak, id] {
        if (auto network = weak.lock()) network->queue(Command{Command::Kind::resume, id, nullptr});
    });
    auto exchange = std::make_unique<CurlExchange>(id, std::move(request), std::move(transfer), options_);
    queue(Command{Command::Kind::start, id, std::move(exchange)});
}

void CurlNetwork::run() {
    initialiseCurl();
    {
        std::lock_guard lock(mutex_);
        multi_ = curl_multi_init();
        broken_ = multi_ == nullptr;
    }
    while (!broken_) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
        }
        runCommands();
        int running = 0;
        curl_multi_perform(multi_, &running);
        collectFinished();
        enforceLimits();
        curl_multi_poll(multi_, nullptr, 0, waitMilliseconds(), nullptr);
    }
    // Whatever is still running fails as if the network went down.
    for (auto& [id, exchange] : live_) {
        exchange->fail(ports::HttpErrorKind::network);
        if (multi_ != nullptr) curl_multi_remove_handle(multi_, exchange->easy());
    }
    live_.clear();
    active_ = 0;
    std::vector<Command> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(commands_);
    }
    for (auto& command : dropped) {
        if (command.exchange) command.exchange->fail(ports::HttpErrorKind::network);
    }
}

void CurlNetwork::runCommands() {
    std::vector<Command> commands;
    {
        std::lock_guard lock(mutex_);
        commands.swap(commands_);
    }
    for (auto& command : commands) {
        switch (command.kind) {
            case Command::Kind::start:
                add(std::move(command.exchange));
                break;
            case Command::Kind::cancel:
                remove(command.id);
                break;
            case Command::Kind::resume: {
                auto it = live_.find(command.id);
                if (it != live_.end() && it->second->resumeReading())
                    curl_easy_pause(it->second->easy(), CURLPAUSE_CONT);
                break;
            }
        }
    }
}

void CurlNetwork::add(std::unique_ptr<CurlExchange> exchange) {
    // A transfer cancelled before it reached the thread never starts.
    if (exchange->transfer()->cancelled() || !exchange->begin()) return;
    if (curl_multi_add_handle(multi_, exchange->easy()) != CURLM_OK) {
        exchange->fail(ports::HttpErrorKind::network);
        return;
    }
    const std::uint64_t id = exchange->id();
    live_.emplace(id, std::move(exchange));
    active_ = live_.size();
}

void CurlNetwork::remove(std::uint64_t id) {
    auto it = live_.find(id);
    if (it == live_.end()) return;
    curl_multi_remove_handle(multi_, it->second->easy());
    live_.erase(it);
    active_ = live_.size();
}

void CurlNetwork::collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        const CURLcode code = message->data.result;
        CurlExchange* exchange = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &exchange);
        if (exchange == nullptr) continue;
        curl_multi_remove_handle(multi_, easy);
        // `finished` may replace the handle with the next hop's.
        if (exchange->finished(code)) {
            if (curl_multi_add_handle(multi_, exchange->easy()) == CURLM_OK) continue;
            exchange->fail(ports::HttpErrorKind::network);
        }
        live_.erase(exchange->id());
        active_ = live_.size();
    }
}

void CurlNetwork::enforceLimits() {
    const auto now = CurlExchange::Clock::now();
    std::vector<std::uint64_t> over;
    for (auto& [id, exchange] : live_) {
        if (auto kind = exchange->expired(now)) {
            exchange->fail(*kind);
            over.push_back(id);
        }
    }
    for (auto id : over) remove(id);
}

int CurlNetwork::waitMilliseconds() {
    long curlWait = -1;
    curl_multi_timeout(multi_, &curlWait);
    if (curlWait < 0 && live_.empty()) return kIdleWaitMilliseconds;
    int wait = curlWait < 0 ? kMaxWaitMilliseconds
                            : static_cast<int>(std::min<long>(curlWait, kMaxWaitMilliseconds));
    const auto now = CurlExchange::Clock::now();
    for (auto& [id, exchange] : live_) {
        auto deadline = exchange->nextDeadline();
        if (!deadline) continue;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
        wait = std::min(wait, static_cast<int>(std::max<long long>(left, 0)));
    }
    return wait;
}

}  // namespace veska::platform
