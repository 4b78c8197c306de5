// The local core as the controller uses it: found or started, its preferences, transcription.
#pragma once

#include <memory>
#include <string>

#include "core/app/AppCollaborators.h"
#include "core/app/EnsureCore.h"
#include "core/app/LocalCoreClient.h"

namespace veska {

/// Owns the client of the local core and the core process this instance started, with where
/// it came from (`coreSource`: "none", "running", "bundled" or "dev"). Lives on the main
/// executor for the whole process; the ports given must outlive it.
class LocalCoreService final : public LocalCore {
public:
    LocalCoreService(ports::HttpClient& http, std::string baseURL, std::string token, ports::Preferences& prefs,
                     V2Config::LaunchHost host);

    rt::Task<void> ensureCore() override;
    rt::Task<nlohmann::json> prefs() override;
    rt::Task<std::string> transcribe(std::string filePath) override;
    rt::Task<nlohmann::json> status() override;
    rt::Task<void> savePrefs(nlohmann::json prefs) override;
    rt::Task<void> saveSecrets(nlohmann::json secrets) override;
    [[nodiscard]] std::string baseURL() const override { return client_.baseURL; }

    /// The client, for the status refresh, preferences and secrets.
    [[nodiscard]] LocalCoreClient& client() { return client_; }
    [[nodiscard]] const std::string& coreSource() const { return coreSource_; }
    /// The core process started by this instance, if any (never stopped by it).
    [[nodiscard]] const ports::Process* coreProcess() const { return coreProcess_.get(); }

private:
    LocalCoreClient client_;
    ports::Preferences& prefs_;
    V2Config::LaunchHost host_;
    std::unique_ptr<ports::Process> coreProcess_;
    std::string coreSource_ = "none";
};

}  // namespace veska
