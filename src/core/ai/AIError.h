// The error of the HTTP engines (Gemini and DeepSeek), mapped onto TranslateError by their session.
#pragma once

#include <exception>
#include <string>

namespace veska {

/// How one streaming request to an HTTP engine failed. `what()` names the case and the status
/// only, never the service's message.
class AIError : public std::exception {
public:
    enum class Kind {
        http,     ///< the service answered with a status other than 200
        empty,    ///< no text came back, or the source has no HTTP engine
        network,  ///< no HTTP answer: transport failure, time-out, not HTTP
    };

    /// `message`: the service's error message, as `AIHTTP` cut it (at most 300 characters).
    [[nodiscard]] static AIError http(int status, std::string message);
    [[nodiscard]] static AIError empty();
    [[nodiscard]] static AIError network();

    [[nodiscard]] Kind kind() const { return kind_; }
    /// The HTTP status of `http`; 0 for the others.
    [[nodiscard]] int status() const { return status_; }
    /// The service's message of `http`; empty for the others.
    [[nodiscard]] const std::string& message() const { return message_; }

    [[nodiscard]] const char* what() const noexcept override { return summary_.c_str(); }

    bool operator==(const AIError& other) const {
        return kind_ == other.kind_ && status_ == other.status_ && message_ == other.message_;
    }

private:
    AIError(Kind kind, int status, std::string message);

    Kind kind_;
    int status_;
    std::string message_;
    std::string summary_;
};

}  // namespace veska
