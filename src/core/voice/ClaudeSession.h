// The user's signed-in Claude web session: its cookies, who is signed in, the dictation language.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "core/web/WebCookieJar.h"
#include "ports/HttpClient.h"
#include "ports/SystemLanguages.h"
#include "runtime/Executor.h"
#include "runtime/Task.h"

namespace veska {

/// What the Claude session operations work through. Everything referenced outlives them.
struct ClaudeSessionServices {
    /// The main executor: cookies are read there, and its calendar clock judges their expiry.
    rt::Executor& main;
    WebCookieJar& cookies;
    ports::HttpClient& http;
    const ports::SystemLanguages& languages;
    /// Base URL of the Claude web service ("https://claude.ai").
    std::string claudeURL;
    /// The registrable domain of the company behind the service, whose cookies belong to the
    /// Claude sign-in as well.
    std::string companyDomain = "anthropic.com";
};

/// Operations around the Claude web session: the session cookies (`credentials`), the account
/// check, the language dictation sends, and forgetting the sign-in. One per process; it holds
/// the language last read from the account.
class ClaudeSession {
public:
    struct Credentials {
        std::string cookieHeader;                 ///< the "Cookie" header value
        std::optional<std::string> organization;  ///< the "lastActiveOrg" cookie's value

        friend bool operator==(const Credentials&, const Credentials&) = default;
    };

    /// Who the service says is signed in.
    struct Account {
        enum class Kind { signedIn, signedOut, unknown };
        Kind kind = Kind::unknown;
        std::optional<std::string> email;  ///< only for `signedIn`

        static Account signedIn(std::optional<std::string> email) { return {Kind::signedIn, std::move(email)}; }
        static Account signedOut() { return {Kind::signedOut, std::nullopt}; }
        /// The service could not be asked, or its answer settles nothing.
        static Account unknown() { return {Kind::unknown, std::nullopt}; }

        friend bool operator==(const Account&, const Account&) = default;
    };

    static constexpr double kAccountTimeoutSeconds = 6;
    /// The most of an account answer read.
    static constexpr std::size_t kMaxAccountBytes = std::size_t{1024} * 1024;

    explicit ClaudeSession(ClaudeSessionServices services);

    /// The session cookies of the Claude web service; none without a "sessionKey". Called on
    /// the main executor.
    rt::Task<std::optional<Credentials>> credentials();
    /// Asks the service who is signed in; also records the account's voice language.
    rt::Task<Account> checkAccount();
    /// The language code dictation sends: the account's, else the first preferred language
    /// of the system the stream accepts, else "en".
    [[nodiscard]] std::string dictationLanguage() const;
    /// Deletes every cookie of the Claude sign-in and forgets the account's voice language.
    /// Called on the main executor.
    rt::Task<void> clearClaudeCookies();

    /// The "voice_language_code" last read from the account; empty or none means none.
    [[nodiscard]] std::optional<std::string> accountLanguage() const;
    void setAccountLanguage(std::optional<std::string> language);

private:
    ClaudeSessionServices services_;
    std::string host_;
    mutable std::mutex mutex_;
    std::optional<std::string> accountLanguage_;
};

}  // namespace veska
