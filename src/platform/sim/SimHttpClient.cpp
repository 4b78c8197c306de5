// The simulated HTTP client: each exchange is a chain of timers on the network lane.
#include "platform/sim/SimHttpClient.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "platform/sim/SimUrl.h"

namespace veska::sim {

namespace {
class Exchange;
}  // namespace

struct SimHttpClient::State {
    rt::Executor* network = nullptr;
    std::vector<SimHttpServer*> servers;
    std::map<Exchange*, std::shared_ptr<Exchange>> live;

    SimHttpServer* find(const std::string& origin) const {
        for (auto* server : servers) {
            if (server->origin() == origin) return server;
        }
        return nullptr;
    }
};

namespace {

using ports::HttpErrorKind;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isLimit(double seconds) { return std::isfinite(seconds) && seconds > 0; }

/// One request from `send` to the end of its answer, across redirects.
class Exchange : public std::enable_shared_from_this<Exchange> {
public:
    Exchange(std::weak_ptr<SimHttpClient::State> client, rt::Executor& network, ports::HttpRequest request,
             std::shared_ptr<ports::HttpTransfer> transfer)
        : client_(std::move(client)), net_(network), request_(std::move(request)), transfer_(std::move(transfer)) {}

    void begin() {
        std::weak_ptr<Exchange> weak = weak_from_this();
        transfer_->onAbort([weak] {
            if (auto self = weak.lock()) self->finish(HttpExchangeState::cancelled);
        });
        step_ = after(0, [](Exchange& e) { e.firstLeg(); });
        if (isLimit(request_.timeoutSeconds)) {
            total_ = after(request_.timeoutSeconds,
                           [](Exchange& e) { e.fail(HttpErrorKind::timeout, HttpExchangeState::timedOut); });
        }
        touch();
    }

    /// The client is going away: the transfer fails as if the network went down.
    void shutDown() { fail(HttpErrorKind::network, HttpExchangeState::failed); }

private:
    template <class F>
    rt::Timer after(double seconds, F step) {
        std::weak_ptr<Exchange> weak = weak_from_this();
        return net_.postAfter(seconds, [weak, step] {
            if (auto self = weak.lock()) step(*self);
        });
    }

    void touch() {
        if (!isLimit(request_.idleTimeoutSeconds)) return;
        idle_ = after(request_.idleTimeoutSeconds,
                      [](Exchange& e) { e.fail(HttpErrorKind::idleTimeout, HttpExchangeState::timedOut); });
    }

    RecordedHttpRequest* rec() const { return server_ != nullptr ? server_->record(record_) : nullptr; }

    void firstLeg() {
        auto url = SimUrl::parse(request_.url);
        if (!url || (url->scheme != "http" && url->scheme != "https")) {
            fail(HttpErrorKind::invalidUrl, HttpExchangeState::failed);
            return;
        }
        leg(*url);
    }

    void leg(SimUrl url) {
        url_ = std::move(url);
        auto client = client_.lock();
        server_ = client ? client->find(url_.origin()) : nullptr;
        if (server_ == nullptr) {
            fail(HttpErrorKind::network, HttpExchangeState::failed);
            return;
        }
        RecordedHttpRequest seen;
        seen.at = net_.now();
        seen.method = request_.method;
        seen.url = url_.text();
        seen.path = url_.path;
        seen.query = url_.query;
        seen.headers = request_.headers;
        seen.body = request_.body;
        std::tie(record_, behaviour_) = server_->accept(std::move(seen));
        open();
    }

    void open() {
        const double delay = behaviour_.headDelaySeconds;
        switch (behaviour_.opening) {
            case HttpOpening::refuse: fail(HttpErrorKind::network, HttpExchangeState::failed); return;
            case HttpOpening::tlsFailure: fail(HttpErrorKind::tls, HttpExchangeState::failed); return;
            case HttpOpening::silence: return;
            case HttpOpening::malformed:
                step_ = after(delay, [](Exchange& e) { e.fail(HttpErrorKind::badResponse, HttpExchangeState::failed); });
                return;
            case HttpOpening::drop:
                step_ = after(delay, [](Exchange& e) { e.fail(HttpErrorKind::network, HttpExchangeState::failed); });
                return;
            case HttpOpening::respond: step_ = after(delay, [](Exchange& e) { e.sendHead(); }); return;
        }
    }

    void sendHead() {
        touch();
        const int status = behaviour_.status;
        auto location = behaviour_.headers.value("Location");
        if (request_.followRedirects && isRedirect(status) && location) {
            follow(status, *location);
            return;
        }
        ports::HttpHeaders headers = behaviour_.headers;
        const bool sized = headers.contains("Content-Length") || headers.contains("Transfer-Encoding");
        if (!sized && behaviour_.ending == HttpEnding::complete) {
            headers.add("Content-Length", std::to_string(behaviour_.body().size()));
        }
        if (auto* r = rec()) r->status = status;
        if (!transfer_->deliverHead(ports::HttpHead{status, std::move(headers), url_.text()})) return;
        if (request_.method == ports::HttpMethod::head) {
            complete();
            return;
        }
        nextPiece_ = 0;
        scheduleNext();
    }

    void scheduleNext() {
        if (nextPiece_ < behaviour_.pieces.size()) {
            step_ = after(behaviour_.pieces[nextPiece_].delaySeconds, [](Exchange& e) { e.sendPiece(); });
            return;
        }
        const double delay = behaviour_.endDelaySeconds;
        switch (behaviour_.ending) {
            case HttpEnding::complete: step_ = after(delay, [](Exchange& e) { e.complete(); }); return;
            case HttpEnding::drop:
                step_ = after(delay, [](Exchange& e) { e.fail(HttpErrorKind::network, HttpExchangeState::failed); });
                return;
            case HttpEnding::hang: return;
        }
    }

    void sendPiece() {
        touch();
        const std::string& bytes = behaviour_.pieces[nextPiece_++].bytes;
        if (auto* r = rec()) r->bodyBytesSent += bytes.size();
        if (!transfer_->deliverChunk(bytes)) return;
        scheduleNext();
    }

    void complete() {
        transfer_->deliverEnd();
        finish(HttpExchangeState::completed);
    }

    void follow(int status, const std::string& location) {
        if (auto* r = rec()) {
            r->status = status;
            r->state = HttpExchangeState::redirected;
            r->endedAt = net_.now();
        }
        auto next = SimUrl::resolve(url_, location);
        if (!next || (next->scheme != "http" && next->scheme != "https")) {
            fail(HttpErrorKind::badResponse, HttpExchangeState::failed);
            return;
        }
        if (++redirects_ > ports::kMaxRedirects) {
            fail(HttpErrorKind::tooManyRedirects, HttpExchangeState::failed);
            return;
        }
        const bool toGet = status == 303 || ((status == 301 || status == 302) && request_.method == ports::HttpMethod::post);
        if (toGet && request_.method != ports::HttpMethod::head) {
            request_.method = ports::HttpMethod::get;
            request_.body.clear();
            request_.headers.remove("Content-Type");
            request_.headers.remove("Content-Length");
        }
        if (next->origin() != url_.origin()) {
            request_.headers.remove("Authorization");
            request_.headers.remove("Cookie");
        }
        leg(*next);
    }

    void fail(HttpErrorKind kind, HttpExchangeState state) {
        if (finished_) return;
        transfer_->deliverError(kind);
        finish(state);
    }

public:
    void finish(HttpExchangeState state) {
        if (finished_) return;
        finished_ = true;
        step_.cancel();
        total_.cancel();
        idle_.cancel();
        if (auto* r = rec(); r != nullptr && r->state == HttpExchangeState::open) {
            r->state = state;
            r->endedAt = net_.now();
        }
        auto keep = shared_from_this();
        if (auto client = client_.lock()) client->live.erase(this);
    }

private:
    std::weak_ptr<SimHttpClient::State> client_;
    rt::Executor& net_;
    ports::HttpRequest request_;
    std::shared_ptr<ports::HttpTransfer> transfer_;
    SimUrl url_;
    SimHttpServer* server_ = nullptr;
    std::size_t record_ = 0;
    HttpBehaviour behaviour_;
    std::size_t nextPiece_ = 0;
    int redirects_ = 0;
    bool finished_ = false;
    rt::Timer step_;
    rt::Timer total_;
    rt::Timer idle_;
};

}  // namespace

SimHttpClient::SimHttpClient(rt::Executor& network) : state_(std::make_shared<State>()) {
    state_->network = &network;
}

SimHttpClient::~SimHttpClient() {
    auto live = state_->live;
    for (auto& [raw, exchange] : live) exchange->shutDown();
}

void SimHttpClient::attach(SimHttpServer& server) {
    if (std::find(state_->servers.begin(), state_->servers.end(), &server) == state_->servers.end()) {
        state_->servers.push_back(&server);
    }
}

void SimHttpClient::detach(const SimHttpServer& server) {
    std::erase(state_->servers, &server);
}

std::size_t SimHttpClient::activeTransfers() const { return state_->live.size(); }

void SimHttpClient::start(ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer) {
    auto exchange = std::make_shared<Exchange>(state_, *state_->network, std::move(request), std::move(transfer));
    state_->live.emplace(exchange.get(), exchange);
    exchange->begin();
}

}  // namespace veska::sim
