// Local core address and token.
#include "core/app/V2Config.h"

#include "core/ai/ConfigFiles.h"
#include "core/app/UserDefaults.h"
#include "text/WhiteSpace.h"

namespace veska::V2Config {

std::string baseURL(const ports::Environment& env, const ports::Preferences& prefs) {
    if (auto fromEnv = env.variable(kBaseURLVariable)) return *fromEnv;
    if (auto stored = prefs.string(UserDefaults::kLocalCoreURL)) return *stored;
    return kDefaultBaseURL;
}

std::string clientBaseURL(const ports::Environment& env, const ports::Preferences& prefs) {
    return trimSlashes(baseURL(env, prefs));
}

std::string trimSlashes(std::string_view url) {
    return std::string(text::trimmedOf(url, "/"));
}

std::string token(const ports::Environment& env) {
    auto fromEnv = env.variable(kTokenVariable);
    if (fromEnv && !fromEnv->empty()) return *fromEnv;
    auto text = ConfigFiles::readText(envFilePath(env));
    if (!text) return {};
    return tokenFromEnvText(*text);
}

std::string envFilePath(const ports::Environment& env) {
    return ConfigFiles::configDirectory(env) + "/v2.env";
}

std::string tokenFromEnvText(std::string_view text) {
    constexpr std::string_view kPrefix = kTokenLinePrefix;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = text::trimmedBlanks(line);
        if (line.substr(0, kPrefix.size()) == kPrefix) {
            return std::string(text::trimmedOf(line.substr(kPrefix.size()), "\"'"));
        }
    }
    return {};
}

}  // namespace veska::V2Config
