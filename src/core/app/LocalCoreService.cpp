// The local core as the controller uses it.
#include "core/app/LocalCoreService.h"

namespace veska {

LocalCoreService::LocalCoreService(ports::HttpClient& http, std::string baseURL, std::string token,
                                   ports::Preferences& prefs, V2Config::LaunchHost host)
    : client_(http, std::move(baseURL), std::move(token)), prefs_(prefs), host_(std::move(host)) {}

rt::Task<void> LocalCoreService::ensureCore() {
    co_await veska::ensureCore(EnsureCoreContext{&client_, &prefs_, host_, &coreProcess_, &coreSource_});
}

rt::Task<nlohmann::json> LocalCoreService::prefs() {
    co_return co_await client_.prefs();
}

rt::Task<std::string> LocalCoreService::transcribe(std::string filePath) {
    co_return co_await client_.transcribe(std::move(filePath));
}

rt::Task<nlohmann::json> LocalCoreService::status() { co_return co_await client_.status(); }

rt::Task<void> LocalCoreService::savePrefs(nlohmann::json prefs) { co_await client_.savePrefs(std::move(prefs)); }

rt::Task<void> LocalCoreService::saveSecrets(nlohmann::json secrets) {
    co_await client_.saveSecrets(std::move(secrets));
}

}  // namespace veska
