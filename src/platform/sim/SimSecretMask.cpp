// Hiding credentials in what the simulated services print.
#include "platform/sim/SimSecretMask.h"

#include <algorithm>

namespace veska::sim {

SimSecretMask::SimSecretMask()
    : sensitiveHeaders_{"authorization", "proxy-authorization", "cookie", "set-cookie", "x-goog-api-key",
                        "x-api-key", "dpop", "sec-websocket-protocol"} {}

void SimSecretMask::addSecret(std::string secret) {
    if (secret.empty()) return;
    if (std::find(secrets_.begin(), secrets_.end(), secret) != secrets_.end()) return;
    secrets_.push_back(std::move(secret));
    // Longer secrets first, so that one containing another is hidden whole.
    std::sort(secrets_.begin(), secrets_.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
}

void SimSecretMask::addSensitiveHeader(std::string name) {
    if (!isSensitiveHeader(name)) sensitiveHeaders_.push_back(std::move(name));
}

bool SimSecretMask::isSensitiveHeader(std::string_view name) const {
    return std::any_of(sensitiveHeaders_.begin(), sensitiveHeaders_.end(),
                       [&](const std::string& known) { return ports::HttpHeaders::sameName(known, name); });
}

std::string SimSecretMask::mask(std::string_view text) const {
    std::string out(text);
    for (const auto& secret : secrets_) {
        std::size_t at = 0;
        while ((at = out.find(secret, at)) != std::string::npos) {
            out.replace(at, secret.size(), kMasked);
            at += kMasked.size();
        }
    }
    return out;
}

ports::HttpHeaders SimSecretMask::mask(const ports::HttpHeaders& headers) const {
    ports::HttpHeaders out;
    for (const auto& [name, value] : headers.fields()) {
        out.add(name, isSensitiveHeader(name) ? std::string(kMasked) : mask(value));
    }
    return out;
}

std::string SimSecretMask::describe(const ports::HttpHeaders& headers) const {
    std::string out;
    const ports::HttpHeaders shown = mask(headers);  // fields() refers into it
    for (const auto& [name, value] : shown.fields()) {
        if (!out.empty()) out += ", ";
        out += name;
        out += ": ";
        out += value;
    }
    return out;
}

}  // namespace veska::sim
