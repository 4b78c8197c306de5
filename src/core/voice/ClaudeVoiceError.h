// How a live dictation over the Claude voice stream can fail.
#pragma once

#include <exception>
#include <string_view>

namespace veska {

/// The failures of a Claude voice session, in the order the product lists them.
enum class ClaudeVoiceError {
    needLogin,  ///< no usable Claude session: no session cookie, or 401/403 while connecting
    noMic,      ///< the microphone could not be opened
    connect,    ///< the WebSocket could not be opened or dropped, or opening took too long
    server,     ///< the service sent an error message
};

[[nodiscard]] constexpr std::string_view describe(ClaudeVoiceError error) {
    switch (error) {
        case ClaudeVoiceError::needLogin: return "needLogin";
        case ClaudeVoiceError::noMic: return "noMic";
        case ClaudeVoiceError::connect: return "connect";
        case ClaudeVoiceError::server: return "server";
    }
    return "unknown";
}

/// Thrown where a Claude voice failure is thrown rather than returned (`startMic`).
class ClaudeVoiceFailure : public std::exception {
public:
    explicit ClaudeVoiceFailure(ClaudeVoiceError error) : error_(error) {}
    [[nodiscard]] ClaudeVoiceError error() const { return error_; }
    [[nodiscard]] const char* what() const noexcept override { return describe(error_).data(); }

private:
    ClaudeVoiceError error_;
};

}  // namespace veska
