// The one error every AI action (translate, compose, fix) reports to the application core.
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "core/ai/AISource.h"

namespace veska {

/// Thrown by AI sessions and actions; match on `kind()`. Engine-specific failures are mapped
/// onto it at the session boundary. The user-facing text comes from
/// `AppStrings::translateMessage`; `what()` names only the case and the source, never the
/// detail text of a service.
class TranslateError : public std::exception {
public:
    enum class Kind {
        noKey,        ///< the source needs an API key and none is configured
        badKey,       ///< the service rejected the key
        apiFailed,    ///< the service answered with another error; `detail()` says which
        needLogin,    ///< the source needs the user to sign in first
        signedOut,    ///< the Grok account session is missing or was rejected
        unreachable,  ///< the service could not be reached
        tooLong,      ///< the text is longer than the selection limit
        failed,       ///< anything else
    };

    [[nodiscard]] static TranslateError noKey(AISource source);
    [[nodiscard]] static TranslateError badKey(AISource source);
    /// `detail`: the HTTP status, then " · " and the service's message.
    [[nodiscard]] static TranslateError apiFailed(AISource source, std::string detail);
    [[nodiscard]] static TranslateError needLogin(AISource source);
    [[nodiscard]] static TranslateError signedOut();
    [[nodiscard]] static TranslateError unreachable();
    [[nodiscard]] static TranslateError tooLong();
    [[nodiscard]] static TranslateError failed();

    [[nodiscard]] Kind kind() const { return kind_; }
    /// The source of `noKey`, `badKey`, `apiFailed` and `needLogin`; nothing for the others.
    [[nodiscard]] std::optional<AISource> source() const { return source_; }
    /// The detail of `apiFailed`; empty for the others.
    [[nodiscard]] const std::string& detail() const { return detail_; }

    [[nodiscard]] const char* what() const noexcept override { return summary_.c_str(); }

    /// Same case, same source, same detail.
    bool operator==(const TranslateError& other) const;

private:
    TranslateError(Kind kind, std::optional<AISource> source, std::string detail);

    Kind kind_;
    std::optional<AISource> source_;
    std::string detail_;
    std::string summary_;
};

}  // namespace veska
