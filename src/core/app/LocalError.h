// How talking to the local core fails, with the description the HUD shows.
#pragma once

#include <exception>
#include <string>

namespace veska {

/// A failure of the local core or of the recorder that feeds it. The description is built once,
/// when the error is made; it never holds a request's credentials, only the core's answer.
class LocalError : public std::exception {
public:
    enum class Kind { http, network, decode, noMic, empty };

    /// The core answered with `status` (400 or above) and `body`.
    [[nodiscard]] static LocalError http(int status, std::string body);
    [[nodiscard]] static LocalError network() { return LocalError(Kind::network); }
    [[nodiscard]] static LocalError decode() { return LocalError(Kind::decode); }
    [[nodiscard]] static LocalError noMic() { return LocalError(Kind::noMic); }
    [[nodiscard]] static LocalError empty() { return LocalError(Kind::empty); }

    [[nodiscard]] Kind kind() const { return kind_; }
    /// The HTTP status of `http`; 0 for the other kinds.
    [[nodiscard]] int status() const { return status_; }
    /// The answer's body of `http`; empty for the other kinds.
    [[nodiscard]] const std::string& body() const { return body_; }

    /// "HTTP 500: " and the first 120 characters of the body, "Local core unreachable — start
    /// packages/local-core", "Bad response", "Microphone permission required", "Empty result".
    [[nodiscard]] const std::string& description() const { return description_; }
    [[nodiscard]] const char* what() const noexcept override { return description_.c_str(); }

    friend bool operator==(const LocalError& a, const LocalError& b) {
        return a.kind_ == b.kind_ && a.status_ == b.status_ && a.body_ == b.body_;
    }

private:
    explicit LocalError(Kind kind, int status = 0, std::string body = {});

    Kind kind_;
    int status_;
    std::string body_;
    std::string description_;
};

/// User-perceived characters of an error body shown in the description.
inline constexpr std::size_t kLocalErrorBodyCharacters = 120;

}  // namespace veska
