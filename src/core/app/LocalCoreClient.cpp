// The HTTP client of the local core.
#include "core/app/LocalCoreClient.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/app/Uuid.h"
#include "text/Ascii.h"
#include "text/Utf.h"

namespace veska {

namespace {

bool containsHtmlTag(std::string_view text) {
    constexpr std::string_view kTag = "<html";
    if (text.size() < kTag.size()) return false;
    for (std::size_t i = 0; i + kTag.size() <= text.size(); ++i) {
        bool same = true;
        for (std::size_t j = 0; j < kTag.size() && same; ++j) {
            same = text::asciiLower(text[i + j]) == kTag[j];
        }
        if (same) return true;
    }
    return false;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::system_error(errno != 0 ? errno : ENOENT, std::generic_category(), "cannot read the recording");
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw std::system_error(EIO, std::generic_category(), "cannot read the recording");
    return bytes;
}

}  // namespace

MultipartUpload transcriptionUpload(std::string_view audio, std::string_view uuid) {
    const std::string boundary = "Boundary-" + std::string(uuid);
    MultipartUpload upload;
    upload.contentType = "multipart/form-data; boundary=" + boundary;
    std::string& body = upload.body;
    body.reserve(audio.size() + 200);
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"file\"; filename=\"audio.m4a\"\r\n";
    body += "Content-Type: audio/mp4\r\n\r\n";
    body += audio;
    body += "\r\n--" + boundary + "--\r\n";
    return upload;
}

LocalCoreClient::LocalCoreClient(ports::HttpClient& http, std::string baseURL, std::string token)
    : baseURL(std::move(baseURL)), http_(http), token_(std::move(token)) {}

ports::HttpRequest LocalCoreClient::makeRequest(std::string_view path, ports::HttpMethod method) const {
    ports::HttpRequest request;
    request.method = method;
    request.url = baseURL + std::string(path);
    request.timeoutSeconds = kTimeoutSeconds;
    if (!token_.empty()) request.headers.set("Authorization", "Bearer " + token_);
    return request;
}

rt::Task<LocalCoreClient::Fetched> LocalCoreClient::exchange(ports::HttpRequest request) {
    ports::HttpResponse response = co_await http_.send(std::move(request));
    ports::HttpBodyText text = co_await response.body.readAll(kMaxResponseBytes);
    co_return Fetched{response.status, std::move(text.bytes)};
}

rt::Task<LocalCoreClient::Fetched> LocalCoreClient::get(std::string path) {
    co_return co_await exchange(makeRequest(path, ports::HttpMethod::get));
}

rt::Task<std::string> LocalCoreClient::request(std::string path, ports::HttpMethod method,
                                               std::optional<std::string> body,
                                               std::optional<std::string> contentType) {
    ports::HttpRequest request = makeRequest(path, method);
    if (body) request.body = std::move(*body);
    if (contentType) request.headers.set("Content-Type", *contentType);
    Fetched fetched = co_await exchange(std::move(request));
    if (fetched.status >= 400) {
        const bool readable = text::isValidUtf8(fetched.body);
        std::string text = readable ? std::move(fetched.body) : "HTTP " + std::to_string(fetched.status);
        throw LocalError::http(fetched.status, std::move(text));
    }
    co_return std::move(fetched.body);
}

rt::Task<bool> LocalCoreClient::health() {
    Fetched fetched = co_await get("/healthz");
    const nlohmann::json root = nlohmann::json::parse(fetched.body);
    if (!root.is_object()) co_return false;
    auto ok = root.find("ok");
    co_return ok != root.end() && ok->is_boolean() && ok->get<bool>();
}

rt::Task<bool> LocalCoreClient::dashboardReady() {
    try {
        const bool healthy = co_await health();
        if (!healthy) co_return false;
        Fetched page = co_await get("/");
        co_return page.status == 200 && text::isValidUtf8(page.body) && containsHtmlTag(page.body);
    } catch (const std::exception&) {
        co_return false;
    }
}

rt::Task<nlohmann::json> LocalCoreClient::prefs() {
    Fetched fetched = co_await get("/v1/config");
    nlohmann::json root = nlohmann::json::parse(fetched.body);
    if (!root.is_object()) throw LocalError::decode();
    auto inner = root.find("prefs");
    if (inner != root.end() && inner->is_object()) co_return std::move(*inner);
    co_return root;
}

rt::Task<nlohmann::json> LocalCoreClient::status() {
    std::string body = co_await request("/v1/status", ports::HttpMethod::get, std::nullopt, std::nullopt);
    nlohmann::json root = nlohmann::json::parse(body, nullptr, false);
    if (!root.is_object()) throw LocalError::decode();
    co_return root;
}

rt::Task<std::string> LocalCoreClient::transcribe(std::string filePath) {
    const std::string audio = readWholeFile(filePath);
    MultipartUpload upload = transcriptionUpload(audio, newUUIDString());
    std::string body = co_await request("/v1/audio/transcriptions", ports::HttpMethod::post, std::move(upload.body),
                                        std::move(upload.contentType));
    const nlohmann::json root = nlohmann::json::parse(body, nullptr, false);
    if (!root.is_object()) throw LocalError::decode();
    auto text = root.find("text");
    if (text == root.end() || !text->is_string()) throw LocalError::decode();
    co_return text->get<std::string>();
}

rt::Task<void> LocalCoreClient::savePrefs(nlohmann::json prefs) {
    co_await request("/v1/config/prefs", ports::HttpMethod::put, prefs.dump(), std::string("application/json"));
}

rt::Task<void> LocalCoreClient::saveSecrets(nlohmann::json secrets) {
    co_await request("/v1/config/secrets", ports::HttpMethod::put, secrets.dump(), std::string("application/json"));
}

}  // namespace veska
