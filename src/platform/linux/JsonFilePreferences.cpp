// User defaults kept in a JSON file, written atomically, corrupt files kept aside.
#include "platform/linux/JsonFilePreferences.h"

#include <cmath>
#include <utility>

#include "platform/linux/AtomicFile.h"

namespace veska::platform {

namespace {

constexpr mode_t kFileMode = 0600;
constexpr mode_t kDirectoryMode = 0700;

nlohmann::json toJson(const ports::PrefValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag;
    if (const double* number = std::get_if<double>(&value)) {
        if (!std::isfinite(*number)) return nullptr;
        return *number;
    }
    return std::get<std::string>(value);
}

}  // namespace

JsonFilePreferences::JsonFilePreferences(std::filesystem::path directory)
    : directory_(std::move(directory)), path_(directory_ / kFileName) {
    AtomicFile::ensureDirectory(directory_, kDirectoryMode);
    load();
}

void JsonFilePreferences::load() {
    AtomicFile::ReadResult file = AtomicFile::read(path_, kMaxFileBytes);
    if (file.status == AtomicFile::ReadStatus::missing) {
        outcome_ = LoadOutcome::missing;
        return;
    }
    if (file.status == AtomicFile::ReadStatus::failed) {
        outcome_ = LoadOutcome::memoryOnly;
        return;
    }
    if (file.status == AtomicFile::ReadStatus::ok) {
        auto parsed = nlohmann::json::parse(file.bytes, nullptr, /*allow_exceptions=*/false);
        if (parsed.is_object()) {
            store_ = std::move(parsed);
            outcome_ = LoadOutcome::loaded;
            return;
        }
    }
    setAside_ = AtomicFile::moveAside(path_, "corrupt");
    outcome_ = setAside_ ? LoadOutcome::setAside : LoadOutcome::memoryOnly;
}

std::optional<ports::PrefValue> JsonFilePreferences::get(const std::string& key) const {
    auto it = store_.find(key);
    if (it == store_.end()) return std::nullopt;
    if (it->is_boolean()) return ports::PrefValue(it->get<bool>());
    if (it->is_number()) return ports::PrefValue(it->get<double>());
    if (it->is_string()) return ports::PrefValue(it->get<std::string>());
    return std::nullopt;
}

void JsonFilePreferences::set(const std::string& key, ports::PrefValue value) {
    store_[key] = toJson(value);
    save();
}

void JsonFilePreferences::remove(const std::string& key) {
    if (store_.erase(key) == 0) return;
    save();
}

void JsonFilePreferences::save() {
    if (outcome_ == LoadOutcome::memoryOnly) return;
    // Text that is not valid UTF-8 is written with replacement characters rather than lost.
    std::string text = store_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    text += '\n';
    AtomicFile::ensureDirectory(directory_, kDirectoryMode);
    // A failed write keeps the value in memory; the next change tries again.
    (void)AtomicFile::write(path_, text, kFileMode);
}

}  // namespace veska::platform
