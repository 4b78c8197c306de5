// The HTTP client port over libcurl: a thin front of the network thread.
#include "platform/linux/http/CurlHttpClient.h"

#include "platform/linux/http/CurlNetwork.h"

namespace veska::platform {

CurlHttpClient::CurlHttpClient() : CurlHttpClient(CurlHttpOptions{}) {}

CurlHttpClient::CurlHttpClient(CurlHttpOptions options) : network_(CurlNetwork::create(std::move(options))) {}

CurlHttpClient::~CurlHttpClient() {
    network_->stop();
}

std::size_t CurlHttpClient::activeTransfers() const {
    return network_->activeTransfers();
}

void CurlHttpClient::start(ports::HttpRequest request, std::shared_ptr<ports::HttpTransfer> transfer) {
    network_->begin(std::move(request), std::move(transfer));
}

}  // namespace veska::platform
