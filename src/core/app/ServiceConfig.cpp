// Base URLs of the remote services: defaults, v2.json "services" and environment overrides.
#include "core/app/ServiceConfig.h"

#include <nlohmann/json.hpp>

#include "core/ai/ConfigFiles.h"

namespace veska {

namespace {

struct ServiceEntry {
    Service service;
    const char* variable;
    const char* jsonKey;
    const char* defaultURL;
};

// The download site of this product has no public address yet: its placeholder fails to
// resolve, so a forgotten setting gives a clear network error instead of a stranger's site.
constexpr std::array<ServiceEntry, kServiceCount> kEntries{{
    {Service::claude, "VESKA_CLAUDE_URL", "claude_url", "https://claude.ai"},
    {Service::xaiConsole, "VESKA_XAI_CONSOLE_URL", "xai_console_url", "https://console.x.ai"},
    {Service::xaiAccounts, "VESKA_XAI_ACCOUNTS_URL", "xai_accounts_url", "https://accounts.x.ai"},
    {Service::xaiAPI, "VESKA_XAI_API_URL", "xai_api_url", "https://api.x.ai"},
    {Service::chatgpt, "VESKA_CHATGPT_URL", "chatgpt_url", "https://chatgpt.com"},
    {Service::gemini, "VESKA_GEMINI_URL", "gemini_url", "https://generativelanguage.googleapis.com"},
    {Service::deepseek, "VESKA_DEEPSEEK_URL", "deepseek_url", "https://api.deepseek.com"},
    {Service::update, "VESKA_UPDATE_URL", "update_url", "https://veska-download-site-not-configured.invalid"},
}};

constexpr std::size_t index(Service service) {
    return static_cast<std::size_t>(service);
}

constexpr bool entriesInEnumOrder() {
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        if (index(kEntries[i].service) != i) return false;
    }
    return true;
}
static_assert(entriesInEnumOrder(), "one entry per service, in the order of Service");

std::string withoutTrailingSlashes(std::string_view url) {
    auto last = url.find_last_not_of('/');
    return last == std::string_view::npos ? std::string() : std::string(url.substr(0, last + 1));
}

// Parsed "services" object; an empty object when the file is missing, corrupt or lacks it.
nlohmann::json servicesSection(const std::optional<std::string>& v2Json) {
    if (!v2Json) return nlohmann::json::object();
    auto root = nlohmann::json::parse(*v2Json, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return nlohmann::json::object();
    auto it = root.find("services");
    if (it == root.end() || !it->is_object()) return nlohmann::json::object();
    return *it;
}

void overrideFromJson(std::string& target, const nlohmann::json& services, const char* key, bool isURL) {
    auto it = services.find(key);
    if (it == services.end() || !it->is_string()) return;
    std::string value = it->get<std::string>();
    if (isURL) value = withoutTrailingSlashes(value);
    if (!value.empty()) target = std::move(value);
}

void overrideFromEnv(std::string& target, const ports::Environment& env, const char* name) {
    auto value = env.variable(name);
    if (!value) return;
    std::string url = withoutTrailingSlashes(*value);
    if (!url.empty()) target = std::move(url);
}

}  // namespace

ServiceConfig ServiceConfig::defaults() {
    ServiceConfig config;
    for (const ServiceEntry& entry : kEntries) config.urls[index(entry.service)] = entry.defaultURL;
    return config;
}

ServiceConfig ServiceConfig::load(const ports::Environment& env) {
    return resolve(env, ConfigFiles::readText(ConfigFiles::configDirectory(env) + "/v2.json"));
}

ServiceConfig ServiceConfig::resolve(const ports::Environment& env,
                                     const std::optional<std::string>& v2Json) {
    ServiceConfig config = defaults();
    nlohmann::json services = servicesSection(v2Json);
    for (const ServiceEntry& entry : kEntries) {
        std::string& url = config.urls[index(entry.service)];
        overrideFromJson(url, services, entry.jsonKey, true);
        overrideFromEnv(url, env, entry.variable);
    }
    overrideFromJson(config.names.claudeDisplayName, services, "claude_display_name", false);
    overrideFromJson(config.names.xaiDomain, services, "xai_domain", false);
    return config;
}

const std::string& ServiceConfig::url(Service service) const {
    return urls[index(service)];
}

std::string_view ServiceConfig::variable(Service service) {
    return kEntries[index(service)].variable;
}

std::string_view ServiceConfig::jsonKey(Service service) {
    return kEntries[index(service)].jsonKey;
}

std::string webSocketURL(std::string_view httpURL) {
    if (httpURL.substr(0, 8) == "https://") return "wss://" + std::string(httpURL.substr(8));
    if (httpURL.substr(0, 7) == "http://") return "ws://" + std::string(httpURL.substr(7));
    return std::string(httpURL);
}

std::string joinURL(std::string_view base, std::string_view path) {
    std::string joined = withoutTrailingSlashes(base);
    auto first = path.find_first_not_of('/');
    joined += '/';
    if (first != std::string_view::npos) joined += path.substr(first);
    return joined;
}

}  // namespace veska
