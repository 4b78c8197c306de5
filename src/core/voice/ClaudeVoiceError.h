// How a live dictation over the Claude voice stream can fail: names and the thrown form.
#pragma once

#include <exception>
#include <string_view>

#include "core/app/AppCollaborators.h"

namespace veska {

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
