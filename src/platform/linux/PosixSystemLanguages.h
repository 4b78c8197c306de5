// The user's preferred languages from the POSIX locale variables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ports/Environment.h"
#include "ports/SystemLanguages.h"

namespace veska::platform {

/// "LANGUAGE" (a colon-separated list) when it names any language; otherwise the first of
/// "LC_ALL", "LC_MESSAGES", "LANG" that names one. The "C" and "POSIX" locales name none.
/// Reads the variables at every call.
class PosixSystemLanguages : public ports::SystemLanguages {
public:
    explicit PosixSystemLanguages(const ports::Environment& env) : env_(env) {}

    [[nodiscard]] std::vector<std::string> preferredLanguages() const override;

    /// "vi_VN.UTF-8" → "vi-VN", "sr_RS@latin" → "sr-RS"; "" for "C", "POSIX" and their
    /// variants ("C.UTF-8").
    [[nodiscard]] static std::string languageTag(std::string_view locale);

private:
    const ports::Environment& env_;
};

}  // namespace veska::platform
