// One request through libcurl: handles per hop, head parsing, redirects, limits and failures.
#include "platform/linux/http/CurlExchange.h"

#include <cmath>

#include "platform/linux/http/CurlErrors.h"
#include "platform/linux/http/CurlUrl.h"

namespace veska::platform {

namespace {

using ports::HttpErrorKind;
using ports::HttpMethod;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isLimit(double seconds) {
    return std::isfinite(seconds) && seconds > 0;
}

CurlExchange::Clock::duration seconds(double value) {
    return std::chrono::duration_cast<CurlExchange::Clock::duration>(std::chrono::duration<double>(value));
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

/// The status of a status line ("HTTP/1.1 200 OK", "HTTP/2 404"), 0 when there is none.
int statusOf(std::string_view line) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) return 0;
    int status = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        const char c = line[i];
        if (c < '0' || c > '9') return 0;
        status = status * 10 + (c - '0');
    }
    return status;
}

bool sendsBody(const ports::HttpRequest& request) {
    if (request.method == HttpMethod::post) return true;
    return request.method != HttpMethod::get && request.method != HttpMethod::head && !request.body.empty();
}

}  // namespace

CurlExchange::CurlExchange(std::uint64_t id, ports::HttpRequest request,
                           std::shared_ptr<ports::HttpTransfer> transfer, const CurlHttpOptions& options)
    : id_(id), request_(std::move(request)), transfer_(std::move(transfer)), options_(options) {}

CurlExchange::~CurlExchange() {
    fail(HttpErrorKind::network);
    dropHandle();
}

bool CurlExchange::begin() {
    auto url = CurlUrl::checked(request_.url);
    if (!url) {
        fail(HttpErrorKind::invalidUrl);
        return false;
    }
    url_ = *url;
    return makeHandle();
}

void CurlExchange::dropHandle() {
    if (easy_ != nullptr) curl_easy_cleanup(easy_);
    easy_ = nullptr;
    if (headerList_ != nullptr) curl_slist_free_all(headerList_);
    headerList_ = nullptr;
}

bool CurlExchange::makeHandle() {
    dropHandle();
    status_ = 0;
    headers_ = {};
    redirectTo_.reset();
    easy_ = curl_easy_init();
    if (easy_ == nullptr) {
        fail(HttpErrorKind::network);
        return false;
    }
    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlExchange::headerCallback);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlExchange::bodyCallback);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    if (!options_.caFile.empty()) curl_easy_setopt(easy_, CURLOPT_CAINFO, options_.caFile.c_str());
    configureMethod();
    return true;
}

void CurlExchange::configureMethod() {
    const bool withBody = sendsBody(request_);
    for (const auto& [name, value] : request_.headers.fields()) {
        // "Name;" is libcurl's way of sending a field with an empty value.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        headerList_ = curl_slist_append(headerList_, line.c_str());
    }
    // libcurl would add fields the request did not ask for: a 100-continue wait, and a form
    // content type for bodies. An empty "Name:" removes its own field.
    if (!request_.headers.contains("Expect")) headerList_ = curl_slist_append(headerList_, "Expect:");
    if (withBody && !request_.headers.contains("Content-Type")) {
        headerList_ = curl_slist_append(headerList_, "Content-Type:");
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);

    switch (request_.method) {
        case HttpMethod::get:
            curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
            break;
        case HttpMethod::head:
            curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
            break;
        case HttpMethod::post:
            curl_easy_setopt(easy_, CURLOPT_POST, 1L);
            break;
        case HttpMethod::put:
        case HttpMethod::patch:
        case HttpMethod::remove:
            curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST,
                             std::string(ports::methodName(request_.method)).c_str());
            break;
    }
    if (withBody) {
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request_.body.size()));
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, request_.body.data());
    }
}

std::size_t CurlExchange::headerCallback(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<CurlExchange*>(self)->onHeaderLine(std::string_view(data, size * count));
}

std::size_t CurlExchange::bodyCallback(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<CurlExchange*>(self)->onBody(data, size * count);
}

std::size_t CurlExchange::onHeaderLine(std::string_view raw) {
    touch();
    if (ended_) return 0;
    const std::string_view line = trimmed(raw);
    if (raw.starts_with("HTTP/")) {
        status_ = statusOf(raw);
        headers_ = {};
        return raw.size();
    }
    if (line.empty()) {
        // An interim answer (100 Continue) is followed by the real head.
        if (status_ >= 100 && status_ < 200) return raw.size();
        return headEnded() ? raw.size() : 0;
    }
    if (raw.front() == ' ' || raw.front() == '\t') {
        // A folded line continues the field before it.
        if (!headers_.empty()) {
            auto fields = headers_.fields();
            fields.back().second += " " + std::string(line);
            headers_ = {};
            for (auto& [name, value] : fields) headers_.add(std::move(name), std::move(value));
        }
        return raw.size();
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return raw.size();
    headers_.add(std::string(trimmed(line.substr(0, colon))), std::string(trimmed(line.substr(colon + 1))));
    return raw.size();
}

bool CurlExchange::headEnded() {
    auto location = headers_.value("Location");
    if (request_.followRedirects && isRedirect(status_) && location) {
        auto next = CurlUrl::resolve(url_, *location);
        if (!next) {
            fail(HttpErrorKind::badResponse);
            return false;
        }
        redirectTo_ = std::move(next);
        redirectStatus_ = status_;
        return false;  // ends this hop; `finished` starts the next
    }
    headDelivered_ = true;
    if (!transfer_->deliverHead(ports::HttpHead{status_, std::move(headers_), url_})) {
        ended_ = true;
        return false;
    }
    return true;
}

std::size_t CurlExchange::onBody(const char* data, std::size_t size) {
    if (ended_ || !headDelivered_) return 0;
    if (transfer_->bufferedBytes() > ports::kPauseBufferedBytes) {
        paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    touch();
    if (!transfer_->deliverChunk(std::string(data, size))) {
        ended_ = true;
        return 0;
    }
    return size;
}

bool CurlExchange::resumeReading() {
    if (!paused_ || ended_) return false;
    paused_ = false;
    touch();
    return true;
}

void CurlExchange::followRedirect() {
    if (redirects_ >= ports::kMaxRedirects) {
        fail(HttpErrorKind::tooManyRedirects);
        return;
    }
    ++redirects_;
    const int status = redirectStatus_;
    const bool toGet =
        status == 303 || ((status == 301 || status == 302) && request_.method == HttpMethod::post);
    if (toGet && request_.method != HttpMethod::head) {
        request_.method = HttpMethod::get;
        request_.body.clear();
        request_.headers.remove("Content-Type");
        request_.headers.remove("Content-Length");
    }
    std::string next = std::move(*redirectTo_);
    if (CurlUrl::origin(next) != CurlUrl::origin(url_)) {
        request_.headers.remove("Authorization");
        request_.headers.remove("Cookie");
    }
    url_ = std::move(next);
    makeHandle();
}

bool CurlExchange::finished(CURLcode code) {
    if (ended_) return false;
    if (redirectTo_) {
        followRedirect();
        return !ended_ && easy_ != nullptr;
    }
    if (code == CURLE_OK) {
        ended_ = true;
        transfer_->deliverEnd();
        return false;
    }
    fail(curlErrorKind(code, headDelivered_));
    return false;
}

void CurlExchange::fail(HttpErrorKind kind) {
    if (ended_) return;
    ended_ = true;
    transfer_->deliverError(kind);
}

std::optional<ports::HttpErrorKind> CurlExchange::expired(Clock::time_point now) const {
    if (ended_) return std::nullopt;
    if (isLimit(request_.timeoutSeconds) && now >= started_ + seconds(request_.timeoutSeconds)) {
        return HttpErrorKind::timeout;
    }
    if (!paused_ && isLimit(request_.idleTimeoutSeconds) &&
        now >= lastActivity_ + seconds(request_.idleTimeoutSeconds)) {
        return HttpErrorKind::idleTimeout;
    }
    return std::nullopt;
}

std::optional<CurlExchange::Clock::time_point> CurlExchange::nextDeadline() const {
    std::optional<Clock::time_point> next;
    if (isLimit(request_.timeoutSeconds)) next = started_ + seconds(request_.timeoutSeconds);
    if (!paused_ && isLimit(request_.idleTimeoutSeconds)) {
        const auto idle = lastActivity_ + seconds(request_.idleTimeoutSeconds);
        if (!next || idle < *next) next = idle;
    }
    return next;
}

}  // namespace veska::platform
