// Sending a request through an adapter and handing out the answer once its head is here.
#include "ports/HttpClient.h"

#include <utility>

namespace veska::ports {

namespace {

bool isTokenChar(char c) {
    if (c >= 'a' && c <= 'z') return true;
    if (c >= 'A' && c <= 'Z') return true;
    if (c >= '0' && c <= '9') return true;
    for (char allowed : std::string_view("!#$%&'*+-.^_`|~")) {
        if (c == allowed) return true;
    }
    return false;
}

/// Cancels the transfer unless the answer was handed over.
class CancelUnlessKept {
public:
    explicit CancelUnlessKept(std::shared_ptr<HttpTransfer> transfer) : transfer_(std::move(transfer)) {}
    CancelUnlessKept(const CancelUnlessKept&) = delete;
    CancelUnlessKept& operator=(const CancelUnlessKept&) = delete;
    ~CancelUnlessKept() {
        if (transfer_) transfer_->cancel();
    }
    void keep() { transfer_.reset(); }

private:
    std::shared_ptr<HttpTransfer> transfer_;
};

}  // namespace

bool isValidHeaderField(const std::string& name, const std::string& value) {
    if (name.empty()) return false;
    for (char c : name) {
        if (!isTokenChar(c)) return false;
    }
    for (char c : value) {
        if (c == '\r' || c == '\n' || c == '\0') return false;
    }
    return true;
}

std::optional<std::uint64_t> HttpResponse::contentLength() const {
    auto text = headers.value("Content-Length");
    if (!text || text->empty() || text->size() > 19) return std::nullopt;
    std::uint64_t length = 0;
    for (char c : *text) {
        if (c < '0' || c > '9') return std::nullopt;
        length = length * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return length;
}

rt::Task<HttpResponse> HttpClient::send(HttpRequest request) {
    for (const auto& [name, value] : request.headers.fields()) {
        if (!isValidHeaderField(name, value)) throw HttpError(HttpErrorKind::invalidHeader);
    }
    auto transfer = std::make_shared<HttpTransfer>();
    CancelUnlessKept guard(transfer);
    start(std::move(request), transfer);
    HttpHead head = co_await transfer->head().wait();
    guard.keep();
    co_return HttpResponse{head.status, std::move(head.headers), std::move(head.url), HttpBody(transfer)};
}

}  // namespace veska::ports
