// Preferred languages from LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
#include "platform/linux/PosixSystemLanguages.h"

#include <algorithm>

namespace veska::platform {

namespace {

std::vector<std::string> tagsOf(std::string_view list) {
    std::vector<std::string> tags;
    while (true) {
        auto colon = list.find(':');
        std::string tag = PosixSystemLanguages::languageTag(list.substr(0, colon));
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end()) {
            tags.push_back(std::move(tag));
        }
        if (colon == std::string_view::npos) return tags;
        list.remove_prefix(colon + 1);
    }
}

}  // namespace

std::string PosixSystemLanguages::languageTag(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") return {};
    std::string tag(locale);
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

std::vector<std::string> PosixSystemLanguages::preferredLanguages() const {
    if (auto language = env_.variable("LANGUAGE")) {
        auto tags = tagsOf(*language);
        if (!tags.empty()) return tags;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        auto value = env_.variable(name);
        if (!value) continue;
        std::string tag = languageTag(*value);
        if (!tag.empty()) return {tag};
    }
    return {};
}

}  // namespace veska::platform
