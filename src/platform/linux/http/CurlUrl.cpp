// URLs through libcurl's URL API: validation, relative redirects and origins.
#include "platform/linux/http/CurlUrl.h"

#include <curl/curl.h>

#include <memory>

namespace veska::platform::CurlUrl {

namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct TextDeleter {
    void operator()(char* text) const { curl_free(text); }
};

std::optional<std::string> part(CURLU* url, CURLUPart which, unsigned int flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(url, which, &raw, flags) != CURLUE_OK || raw == nullptr) return std::nullopt;
    std::unique_ptr<char, TextDeleter> owned(raw);
    return std::string(raw);
}

bool isWebUrl(CURLU* url) {
    auto scheme = part(url, CURLUPART_SCHEME);
    auto host = part(url, CURLUPART_HOST);
    return scheme && (*scheme == "http" || *scheme == "https") && host && !host->empty();
}

}  // namespace

std::optional<std::string> checked(const std::string& text) {
    UrlHandle url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return std::nullopt;
    if (!isWebUrl(url.get())) return std::nullopt;
    return text;
}

std::optional<std::string> resolve(const std::string& base, const std::string& location) {
    UrlHandle url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) return std::nullopt;
    if (curl_url_set(url.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK) return std::nullopt;
    if (!isWebUrl(url.get())) return std::nullopt;
    return part(url.get(), CURLUPART_URL);
}

std::string origin(const std::string& text) {
    UrlHandle url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return {};
    auto scheme = part(url.get(), CURLUPART_SCHEME);
    auto host = part(url.get(), CURLUPART_HOST);
    auto port = part(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host) return {};
    return *scheme + "://" + *host + ":" + port.value_or("");
}

}  // namespace veska::platform::CurlUrl
