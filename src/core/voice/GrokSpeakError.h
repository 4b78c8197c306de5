// How a Grok account operation or a reading can fail.
#pragma once

#include <string>

namespace veska {

/// A failure of the Grok console: `failed` carries a message shown as it is (already in the
/// interface language), `signedOut` means no console session or a rejected one, `unreachable`
/// a network failure or an answer that settles nothing.
class GrokSpeakError {
public:
    enum class Kind { failed, signedOut, unreachable };

    [[nodiscard]] static GrokSpeakError failed(std::string message) { return {Kind::failed, std::move(message)}; }
    [[nodiscard]] static GrokSpeakError signedOut() { return {Kind::signedOut, {}}; }
    [[nodiscard]] static GrokSpeakError unreachable() { return {Kind::unreachable, {}}; }
    /// `failed` with the rate-limit message, in the interface language.
    [[nodiscard]] static GrokSpeakError rateLimited();

    [[nodiscard]] Kind kind() const { return kind_; }
    /// The message of `failed`; empty for the others.
    [[nodiscard]] const std::string& message() const { return message_; }

    friend bool operator==(const GrokSpeakError&, const GrokSpeakError&) = default;

private:
    GrokSpeakError(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}

    Kind kind_;
    std::string message_;
};

}  // namespace veska
