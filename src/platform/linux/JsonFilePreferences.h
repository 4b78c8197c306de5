// The user defaults as a JSON object in "preferences.json" of Veska's configuration directory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ports/Preferences.h"

namespace veska::platform {

/// Loads the file once at construction and rewrites it atomically (mode 0600) after every
/// change. A file that is not a JSON object is never overwritten: it is moved aside to
/// "preferences.json.corrupt-<n>" (the first free n) and the store starts empty. When the file
/// exists but can be neither read nor moved aside, changes are kept in memory only, so the
/// user's file survives. Main executor only; not thread-safe.
class JsonFilePreferences : public ports::Preferences {
public:
    static constexpr const char* kFileName = "preferences.json";
    /// Larger files are not ours and count as corrupt.
    static constexpr std::size_t kMaxFileBytes = std::size_t{4} * 1024 * 1024;

    enum class LoadOutcome {
        missing,     ///< no file yet: empty store
        loaded,      ///< the file's values
        setAside,    ///< corrupt file moved to `setAsidePath()`: empty store
        memoryOnly,  ///< file unreadable or could not be moved aside: empty, nothing written
    };

    /// `directory`: normally "$HOME/.config/veska-voice"; created with mode 0700 when missing.
    explicit JsonFilePreferences(std::filesystem::path directory);

    [[nodiscard]] std::optional<ports::PrefValue> get(const std::string& key) const override;
    /// A number that is not finite is stored as no value.
    void set(const std::string& key, ports::PrefValue value) override;
    void remove(const std::string& key) override;

    [[nodiscard]] LoadOutcome loadOutcome() const { return outcome_; }
    [[nodiscard]] const std::optional<std::filesystem::path>& setAsidePath() const { return setAside_; }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    void load();
    void save();

    std::filesystem::path directory_;
    std::filesystem::path path_;
    nlohmann::json store_ = nlohmann::json::object();
    LoadOutcome outcome_ = LoadOutcome::missing;
    std::optional<std::filesystem::path> setAside_;
};

}  // namespace veska::platform
